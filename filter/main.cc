// rastertozelt: the CUPS filter that turns a CUPS raster stream into the
// printer's command stream.
//
//   rastertozelt job-id user title copies options [file]
//
// Reads the raster from the file or standard input, writes printer data to
// standard output and status lines to standard error.  Exit status 0 when at
// least one page was printed, 1 when the job failed.

#include <cups/ppd.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "filter/page_loop.h"
#include "output/sink.h"
#include "output/spool_files.h"
#include "page/job.h"

namespace {

// Status lines go to standard error as they come.
class StderrLog final : public StatusLog {
 public:
  void Line(std::string_view line) override { std::fwrite(line.data(), 1, line.size(), stderr); }
};

// The printer's model number from its PPD, or -1 with an "ERROR: " line
// naming the cause (and the PPD reader's own diagnosis as a "DEBUG: " line).
int ReadModelNumber(const char* path) {
  if (!path) {
    std::fputs("ERROR: No PPD file: the PPD environment variable is not set\n", stderr);
    return -1;
  }
  ppd_file_t* ppd = ppdOpenFile(path);
  if (!ppd) {
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    std::fprintf(stderr, "ERROR: Unable to open PPD file %s: %s\n", path, ppdErrorString(status));
    std::fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
    return -1;
  }
  const int model = ppd->model_number;
  ppdClose(ppd);
  return model;
}

// Opens /dev/null on any of descriptors 0, 1 and 2 that the filter was
// started without, so no file of its own ever takes a standard descriptor.
void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd) return;
}

}  // namespace

int main(int argc, char* argv[]) {
  OpenStandardDescriptors();
  // Status lines are passed on at once.
  setbuf(stderr, nullptr);

  if (static_cast<unsigned>(argc - 6) >= 2) {
    std::fputs("ERROR: rastertozelt job-id user title copies options [file]\n", stderr);
    return 1;
  }

  // An unopenable raster file is reported before a PPD problem: it is the
  // more specific one.
  int fd = 0;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) == -1) {
    std::perror("ERROR: Unable to open raster file - ");
    return 1;
  }
  const int model = ReadModelNumber(std::getenv("PPD"));
  if (model < 0) {
    if (fd != 0) close(fd);
    return 1;
  }

  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  InstallCancelHandler();

  StreamSink sink(stdout);
  StderrLog log;
  Job job{.model_number = model, .sink = sink, .log = log, .spool_directory = SpoolDirectory()};
  const JobResult result = PrintJob(job, raster);

  cupsRasterClose(raster);
  if (fd != 0) close(fd);
  return EndJob(log, result);
}
