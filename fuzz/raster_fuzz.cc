// Drives the whole page loop with rasters built from fuzz input: header
// fields the filter reads (colour space, compression, sizes, resolution,
// media, copies, imaging box, margins, page size, finish) and the line data.
// Sizes are kept small so every input runs quickly; everything else takes
// any value, which is where the page start, the print box and the dither
// binding meet values no PPD would produce.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "filter/page_loop.h"
#include "output/sink.h"

namespace {

char spool_dir[] = "/tmp/zelt-fuzz-XXXXXX";

// Takes bytes from the front of the fuzz input; zeros when it runs out.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t Take(int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | (size_ ? (--size_, *data_++) : 0u);
    return v;
  }
  const std::uint8_t* rest() const { return data_; }
  std::size_t left() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Spool files go to a private directory.
  if (!mkdtemp(spool_dir)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  cups_page_header2_t h;
  std::memset(&h, 0, sizeof h);
  h.cupsColorSpace = static_cast<cups_cspace_t>(in.Take(1) % 24);
  h.cupsCompression = in.Take(1) & 1;
  h.cupsWidth = in.Take(2) % 1024 + 1;
  h.cupsHeight = in.Take(1) % 32 + 1;
  h.HWResolution[0] = in.Take(2);
  h.HWResolution[1] = in.Take(2);
  h.cupsMediaType = in.Take(2);
  h.MediaPosition = in.Take(2);
  h.NumCopies = in.Take(1) % 4;
  for (auto& v : h.ImagingBoundingBox) v = in.Take(2);
  for (auto& v : h.Margins) v = in.Take(2);
  for (auto& v : h.PageSize) v = in.Take(2);
  if (in.Take(1) & 1) std::strcpy(h.OutputType, "Glossy");
  h.cupsBitsPerColor = 8;
  h.cupsBitsPerPixel = 8;
  h.cupsColorOrder = CUPS_ORDER_BANDED;
  const unsigned bands = in.Take(1) % 5 + 1;
  h.cupsBytesPerLine = h.cupsWidth * bands;

  // The raster, written by libcups into memory, then read back by the loop.
  const int fd = memfd_create("raster", 0);
  cups_raster_t* out = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  cupsRasterWriteHeader2(out, &h);
  std::uint8_t* line = static_cast<std::uint8_t*>(std::calloc(h.cupsBytesPerLine, 1));
  const std::uint8_t* rest = in.rest();
  const std::size_t left = in.left();
  for (unsigned y = 0; y < h.cupsHeight; ++y) {
    for (unsigned i = 0; i < h.cupsBytesPerLine; ++i)
      line[i] = left ? rest[(y * h.cupsBytesPerLine + i) % left] : 0;
    cupsRasterWritePixels(out, line, h.cupsBytesPerLine);
  }
  std::free(line);
  cupsRasterClose(out);

  lseek(fd, 0, SEEK_SET);
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  MemorySink sink;
  NullLog log;
  Job job{.model_number = 2, .sink = sink, .log = log, .spool_directory = spool_dir};
  (void)PrintJob(job, ras);
  cupsRasterClose(ras);
  close(fd);
  return 0;
}
