// The plain halftoning routines: pixel by pixel, with the modulo and the
// bit/nibble packing written out.  Kept as the definition the fast routines
// are tested against.
#include "dither/dither.h"
#include "dither/vdot_code.h"
#include "page/page_state.h"

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

void DitherStandardReference(const cups_page_header_t* header, std::uint32_t y) {
  for (int p = 0; p < PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(DitherWidth[p]);
    const std::int16_t* row =
        DitherData[p] + (y % static_cast<std::uint32_t>(DitherHeight[p])) * width;
    std::uint8_t* out = DotBuffers[p];
    std::uint8_t byte = 0, mask = 0x80;
    for (std::uint32_t x = 0; x < header->cupsWidth; ++x) {
      if (InputBuffers[p][x] > row[x % width]) byte |= mask;
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

void DitherPhotoReference(const cups_page_header_t* header, std::uint32_t y) {
  for (int p = 0; p < PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(DitherWidth[p]);
    const std::int16_t* row =
        DitherData[p] + (y % static_cast<std::uint32_t>(DitherHeight[p])) * width;
    NibblePacker pack(DotBuffers[p]);
    for (std::uint32_t x = 0; x < header->cupsWidth; ++x) {
      const int c = DitherLUTs[p][InputBuffers[p][x]];
      const int q = c / 17, d = c % 17;
      pack.Put(x, d > row[x % width] ? q + 1 : q);
    }
    pack.Finish(header->cupsWidth);
  }
}

void DitherVPhotoReference(const cups_page_header_t* header, std::uint32_t y) {
  const bool four_planes = PrinterPlanes > 1;
  if (four_planes) {
    // Black generation: the smallest of cyan, magenta and yellow becomes
    // black; a full black pixel prints on the black plane alone.
    for (std::uint32_t x = 0; x < header->cupsWidth; ++x) {
      std::uint8_t k = InputBuffers[0][x];
      if (InputBuffers[1][x] < k) k = InputBuffers[1][x];
      if (InputBuffers[2][x] < k) k = InputBuffers[2][x];
      InputBuffers[3][x] = k;
      if (k == 255) InputBuffers[0][x] = InputBuffers[1][x] = InputBuffers[2][x] = 0;
    }
  }
  for (int p = 0; p < PrinterPlanes; ++p) {
    const std::uint32_t width = static_cast<std::uint32_t>(DitherWidth[p]);
    const std::int16_t* row =
        DitherData[p] + (y % static_cast<std::uint32_t>(DitherHeight[p])) * width;
    const std::int16_t base = four_planes ? DitherBases[p] : 0;
    NibblePacker pack(DotBuffers[p]);
    for (std::uint32_t x = 0; x < header->cupsWidth; ++x)
      pack.Put(x, VDotCode(DitherAdjust[p], DitherExpand[p], DitherTone[p], base, four_planes,
                           InputBuffers[p][x], row[x % width]));
    pack.Finish(header->cupsWidth);
  }
}
