#include "tests/support/job.h"

#include <fcntl.h>
#include <unistd.h>

#include "page/dither_binding.h"

namespace zelt_test {

std::unique_ptr<InProcessRun> PrintInProcess(const std::string& raster,
                                             const std::string& spool_dir, Allocator allocate) {
  auto run = std::make_unique<InProcessRun>();
  const int fd = open(raster.c_str(), O_RDONLY);
  cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_READ);
  Job job{.model_number = 2,
          .sink = run->sink,
          .log = run->log,
          .spool_directory = spool_dir,
          .allocate = allocate};
  run->result = PrintJob(job, r);
  cupsRasterClose(r);
  close(fd);
  run->exit_status = EndJob(run->log, run->result);
  return run;
}

std::unique_ptr<Page> HalftonePage(cups_cspace_t space, unsigned width, unsigned dpi,
                                   unsigned compression, unsigned media) {
  auto page = std::make_unique<Page>();
  page->header.cupsColorSpace = space;
  page->header.cupsCompression = compression;
  page->header.cupsWidth = width;
  page->header.HWResolution[0] = page->header.HWResolution[1] = dpi;
  page->header.cupsMediaType = media;
  NullLog log;
  DecidePageMode(*page);
  BindDitherTables(log, *page);
  if (!AllocatePageBuffers(AllocateZeroed, *page)) return nullptr;
  return page;
}

}  // namespace zelt_test
