#include "output/spool_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "page/page_state.h"

namespace {

// Creation names of the page's spool files.  A plane's armed flag is set
// before its file is created and cleared only after the file is removed, so a
// cancel at any moment removes every file that may exist (removing one that
// does not is harmless).  Plain arrays and sig_atomic_t flags: the cancel
// handler reads them.
char spool_names[kMaxPlanes][256];
volatile std::sig_atomic_t spool_armed[kMaxPlanes];

// Planes with a spool file: from plane 1 when plane 0 streams straight to the
// printer (one copy), else from plane 0.
int first_spooled_plane = 1;

void FormatSpoolName(int plane) {
  static constexpr char kThreePlaneLetters[] = "YMC";
  static constexpr char kFourPlaneLetters[] = "CMYK";
  const char* dir = SpoolDirectory();
  const int pid = static_cast<int>(getpid());
  // Names are cut at 254 characters.
  constexpr std::size_t kLimit = 255;
  if (PrinterPlanes == 1)
    std::snprintf(spool_names[plane], kLimit, "%s/kvo%d.K", dir, pid);
  else
    std::snprintf(spool_names[plane], kLimit, "%s/kvo%d.%c", dir, pid,
                  PrinterPlanes == 3 ? kThreePlaneLetters[plane] : kFourPlaneLetters[plane]);
}

void CancelHandler(int sig) {
  for (int p = 0; p < kMaxPlanes; ++p)
    if (spool_armed[p]) unlink(spool_names[p]);
  // SA_RESETHAND restored the default action; the signal is delivered again
  // when the handler returns and ends the process as it would have.
  raise(sig);
}

}  // namespace

const char* SpoolDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir ? dir : "/var/tmp";
}

bool CreateSpoolFiles(const cups_page_header_t& header) {
  first_spooled_plane = header.NumCopies == 1 ? 1 : 0;
  if (first_spooled_plane == 1) PrinterFiles[0] = 1;

  for (int p = first_spooled_plane; p < PrinterPlanes; ++p) {
    FormatSpoolName(p);
    spool_armed[p] = 1;
    // The directory is usually world-writable and the names predictable: a
    // link planted under a spool name makes the open fail, never follows.
    const int fd = open(spool_names[p], O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      const int err = errno;
      spool_armed[p] = 0;
      std::fprintf(stderr, "ERROR: Unable to open temporary file %s:\n", spool_names[p]);
      std::fprintf(stderr, "ERROR: %s\n", std::strerror(err));
      // Nothing of the page may be left behind.
      for (int q = first_spooled_plane; q < p; ++q) {
        close(PrinterFiles[q]);
        unlink(spool_names[q]);
        spool_armed[q] = 0;
      }
      return false;
    }
    PrinterFiles[p] = fd;
    std::fprintf(stderr, "INFO: PrinterFiles[%d] = %d (%s)\n", p, fd, spool_names[p]);
  }
  return true;
}

void CloseSpoolFiles() {
  for (int p = first_spooled_plane; p < PrinterPlanes; ++p) {
    close(PrinterFiles[p]);
    unlink(spool_names[p]);
    spool_armed[p] = 0;
  }
}

void InstallCancelHandler() {
  struct sigaction action {};
  action.sa_handler = CancelHandler;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  // An interrupt from a terminal leaves nothing behind either, unless the
  // caller chose to ignore interrupts.
  struct sigaction previous {};
  if (sigaction(SIGINT, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
    sigaction(SIGINT, &action, nullptr);
}
