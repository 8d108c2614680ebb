#include "dither/reference.h"

#include "dither/vdot_code.h"
#include "page/page.h"

namespace {

// Stores 4-bit codes two to a byte, first pixel in the high nibble; an odd
// last pixel is stored with a low nibble of 0.
class NibblePacker {
 public:
  explicit NibblePacker(std::uint8_t* out) : out_(out) {}
  void Put(std::uint32_t x, int code) {
    if ((x & 1) == 0) {
      byte_ = static_cast<std::uint8_t>(code << 4);
    } else {
      *out_++ = static_cast<std::uint8_t>(byte_ | code);
    }
  }
  void Finish(std::uint32_t width) {
    if (width & 1) *out_ = byte_;
  }

 private:
  std::uint8_t* out_;
  std::uint8_t byte_ = 0;
};

}  // namespace

void DitherStandardReference(Page& page, std::uint32_t y) {
  const std::uint32_t pixels = page.header.cupsWidth;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(page.DitherWidth[p]);
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    std::uint8_t* out = page.DotBuffers[p];
    std::uint8_t byte = 0, mask = 0x80;
    for (std::uint32_t x = 0; x < pixels; ++x) {
      if (page.InputBuffers[p][x] > row[x % width]) byte |= mask;
      if (mask == 1) {
        *out++ = byte;
        byte = 0;
        mask = 0x80;
      } else {
        mask >>= 1;
      }
    }
    if (mask != 0x80) *out = byte;
  }
}

void DitherPhotoReference(Page& page, std::uint32_t y) {
  const std::uint32_t pixels = page.header.cupsWidth;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(page.DitherWidth[p]);
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    NibblePacker pack(page.DotBuffers[p]);
    for (std::uint32_t x = 0; x < pixels; ++x) {
      const int c = page.DitherLUTs[p][page.InputBuffers[p][x]];
      const int q = c / 17, d = c % 17;
      pack.Put(x, d > row[x % width] ? q + 1 : q);
    }
    pack.Finish(pixels);
  }
}

void DitherVPhotoReference(Page& page, std::uint32_t y) {
  const std::uint32_t pixels = page.header.cupsWidth;
  const bool four_planes = page.PrinterPlanes > 1;
  if (four_planes) {
    // Black generation: the smallest of cyan, magenta and yellow becomes
    // black; a full black pixel prints on the black plane alone.
    for (std::uint32_t x = 0; x < pixels; ++x) {
      std::uint8_t k = page.InputBuffers[0][x];
      if (page.InputBuffers[1][x] < k) k = page.InputBuffers[1][x];
      if (page.InputBuffers[2][x] < k) k = page.InputBuffers[2][x];
      page.InputBuffers[3][x] = k;
      if (k == 255) page.InputBuffers[0][x] = page.InputBuffers[1][x] = page.InputBuffers[2][x] = 0;
    }
  }
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(page.DitherWidth[p]);
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    const std::int16_t base = four_planes ? page.DitherBases[p] : 0;
    NibblePacker pack(page.DotBuffers[p]);
    for (std::uint32_t x = 0; x < pixels; ++x)
      pack.Put(x, VDotCode(page.DitherAdjust[p], page.DitherExpand[p], page.DitherTone[p], base,
                           four_planes, page.InputBuffers[p][x], row[x % width]));
    pack.Finish(pixels);
  }
}
