// rastertozelt: the CUPS filter that turns a CUPS raster stream into the
// printer's command stream.
//
//   rastertozelt job-id user title copies options [file]
//
// Reads the raster from the file or standard input, writes printer data to
// standard output and status lines to standard error.  Exit status 0 when at
// least one page was printed, 1 when the job failed.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "filter/job_sequences.h"
#include "filter/page_loop.h"
#include "output/spool_files.h"

namespace {

// Explains a PPD that could not be opened: one "ERROR: " line with the cause,
// and the reader's own diagnosis as a "DEBUG: " line.
void ReportPpdFailure(const char* path) {
  if (!path) {
    std::fputs("ERROR: No PPD file: the PPD environment variable is not set\n", stderr);
    return;
  }
  int line = 0;
  const ppd_status_t status = ppdLastError(&line);
  std::fprintf(stderr, "ERROR: Unable to open PPD file %s: %s\n", path, ppdErrorString(status));
  std::fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
}

}  // namespace

int main(int argc, char* argv[]) {
  // Status lines are passed on at once.
  setbuf(stderr, nullptr);

  if (static_cast<unsigned>(argc - 6) >= 2) {
    std::fputs("ERROR: rastertozelt job-id user title copies options [file]\n", stderr);
    return 1;
  }

  const char* ppd_path = std::getenv("PPD");
  ppd_file_t* ppd = ppd_path ? ppdOpenFile(ppd_path) : nullptr;

  int fd = 0;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) == -1) {
    std::perror("ERROR: Unable to open raster file - ");
    if (ppd) ppdClose(ppd);
    return 1;
  }
  if (!ppd) {
    ReportPpdFailure(ppd_path);
    if (fd != 0) close(fd);
    return 1;
  }

  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  InstallCancelHandler();
  Setup(ppd);

  bool refused = false;
  const int pages = PrintPages(ppd, ras, refused);

  cupsRasterClose(ras);
  if (fd != 0) close(fd);
  WriteJobEnd();
  std::fflush(stdout);
  ppdClose(ppd);

  if (refused) return 1;
  if (pages == 0) {
    std::fputs("ERROR: No pages found!\n", stderr);
    return 1;
  }
  return 0;
}
