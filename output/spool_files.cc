#include "output/spool_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "page/page.h"

namespace {

// The names of the spool files that may exist, for the signal handler.  An
// entry is claimed and filled before its file is created and released only
// after the file is removed, so a cancel at any moment removes every file
// that may exist (removing one that does not is harmless).  Plain character
// arrays and lock-free atomics: the handler may read them at any moment.
constexpr int kSlots = 64;               // four planes of sixteen jobs printing at once
constexpr std::size_t kNameLimit = 255;  // names are cut at 254 characters
enum SlotState : int { kFree, kFilling, kArmed };
struct Slot {
  std::atomic<int> state{kFree};
  char name[kNameLimit];
};
Slot spool_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

// Claims a free entry for `name`; -1 when all are taken (the file is still
// made and removed as usual, only a signal would leave it behind).
int ArmSlot(const std::string& name) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (spool_slots[i].state.compare_exchange_strong(expected, kFilling)) {
      std::snprintf(spool_slots[i].name, kNameLimit, "%s", name.c_str());
      spool_slots[i].state.store(kArmed);
      return i;
    }
  }
  return -1;
}

void ReleaseSlot(int slot) {
  if (slot >= 0) spool_slots[slot].state.store(kFree);
}

void CancelHandler(int sig) {
  for (auto& slot : spool_slots)
    if (slot.state.load() == kArmed) unlink(slot.name);
  // SA_RESETHAND restored the default action; the signal is delivered again
  // when the handler returns and ends the process as it would have.
  raise(sig);
}

}  // namespace

SpoolFile& SpoolFile::operator=(SpoolFile&& other) noexcept {
  if (this != &other) {
    Remove();
    fd_ = other.fd_;
    slot_ = other.slot_;
    name_ = std::move(other.name_);
    other.fd_ = other.slot_ = -1;
  }
  return *this;
}

// Creates the file afresh; never opens, truncates or follows anything that
// already stands under the name (a regular file, a hard link, a FIFO, a
// symbolic link).  A leftover of this user's own, from an earlier job that
// died with the same process id, is removed and the creation tried once more.
int CreateExclusive(const char* name) {
  constexpr int kFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  int fd = open(name, kFlags, 0600);
  if (fd < 0 && errno == EEXIST) {
    struct stat st {};
    if (lstat(name, &st) == 0 && st.st_uid == geteuid() && unlink(name) == 0)
      fd = open(name, kFlags, 0600);
    else
      errno = EEXIST;
  }
  // Spool writes and reads block as on any regular file.
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

SpoolFile SpoolFile::Create(const std::string& name, int* error) {
  SpoolFile file;
  file.slot_ = ArmSlot(name);
  file.fd_ = CreateExclusive(name.c_str());
  if (file.fd_ < 0) {
    *error = errno;
    ReleaseSlot(file.slot_);
    file.slot_ = -1;
    return file;
  }
  file.name_ = name;
  return file;
}

bool SpoolFile::Append(Bytes head, Bytes data) const {
  while (!head.empty() || !data.empty()) {
    iovec parts[2] = {{const_cast<std::uint8_t*>(head.data()), head.size()},
                      {const_cast<std::uint8_t*>(data.data()), data.size()}};
    const ssize_t n = writev(fd_, parts, 2);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    const auto written = static_cast<std::size_t>(n);
    const std::size_t from_head = std::min(written, head.size());
    head = head.subspan(from_head);
    data = data.subspan(written - from_head);
  }
  return true;
}

void SpoolFile::Remove() {
  if (fd_ >= 0) {
    close(fd_);
    unlink(name_.c_str());
  }
  ReleaseSlot(slot_);
  fd_ = slot_ = -1;
}

std::string SpoolDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir ? dir : "/var/tmp";
}

std::string SpoolName(const std::string& dir, int planes, int plane) {
  char name[kNameLimit];
  const int pid = static_cast<int>(getpid());
  if (planes == 1)
    std::snprintf(name, sizeof name, "%s/kvo%d.K", dir.c_str(), pid);
  else
    std::snprintf(name, sizeof name, "%s/kvo%d.%c", dir.c_str(), pid,
                  (planes == 3 ? "YMC" : "CMYK")[plane]);
  return name;
}

Status CreateSpoolFiles(Job& job, Page& page) {
  // One copy: plane 0's rows go to the printer only, and need no replay.
  const int first = page.header.NumCopies == 1 ? 1 : 0;
  for (int p = first; p < page.PrinterPlanes; ++p) {
    const std::string name = SpoolName(job.spool_directory, page.PrinterPlanes, p);
    // Names cut at their limit may fall together; two planes never share a
    // file.
    for (int q = first; q < p; ++q)
      if (page.PrinterFiles[q].name() == name)
        return {Fault::kSpoolCreate, page.PlaneName(p), EEXIST, name};
    int error = 0;
    page.PrinterFiles[p] = SpoolFile::Create(name, &error);
    if (!page.PrinterFiles[p].is_open())
      return {Fault::kSpoolCreate, page.PlaneName(p), error, name};
    Report(job.log, "INFO: PrinterFiles[%d] = %d (%s)\n", p, page.PrinterFiles[p].fd(),
           name.c_str());
  }
  return {};
}

void InstallCancelHandler() {
  // A cancel from the spooler (SIGTERM), an interrupt or hang-up, and a
  // printer connection that went away (SIGPIPE on the next write) all end the
  // job; the handler removes the spool files first.  Signals the caller chose
  // to ignore stay ignored, except SIGTERM.
  constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE};
  struct sigaction action {};
  action.sa_handler = CancelHandler;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int sig : kSignals) sigaddset(&action.sa_mask, sig);
  for (const int sig : kSignals) {
    struct sigaction previous {};
    if (sig == SIGTERM ||
        (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN))
      sigaction(sig, &action, nullptr);
  }
}
