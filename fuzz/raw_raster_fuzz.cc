// Raw bytes as a CUPS raster stream through the whole job: any sync word
// (any version, compressed or not, either byte order), any header bits,
// several pages, cut anywhere.  The printer stream that comes out must always
// be one the stream decoder accepts; a refused page still leaves a whole job.
// Copies are limited and a job that has written 1 MB is cancelled, so every
// input runs quickly; a cancelled job must close cleanly too.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "filter/page_loop.h"
#include "output/sink.h"
#include "tools/stream_decoder.h"

namespace {
char spool_dir[] = "/tmp/zelt-fuzz-XXXXXX";
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!mkdtemp(spool_dir)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memfd_create("raster", 0);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  lseek(fd, 0, SEEK_SET);
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);

  MemorySink sink;
  NullLog log;
  Job job{.model_number = 2,
          .sink = sink,
          .log = log,
          .spool_directory = spool_dir,
          .max_copies = 3,
          .canceled = [&sink] { return sink.bytes.size() > (1u << 20); }};
  const JobResult result = PrintJob(job, raster);
  cupsRasterClose(raster);
  close(fd);

  const Fault f = result.status.fault;
  if (f != Fault::kNone && f != Fault::kPageRefused && f != Fault::kCanceled) std::abort();
  const zelt::stream::DecodedJob decoded = zelt::stream::DecodeStream(sink.bytes, {}, false);
  if (!decoded.ok) {
    std::fprintf(stderr, "stream refused at %lld: %s\n", static_cast<long long>(decoded.error.offset),
                 decoded.error.message.c_str());
    std::abort();
  }
  return 0;
}
