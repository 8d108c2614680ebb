// Standard ordered dither, the fast way: one output byte per step of eight
// pixels.  The matrix row is laid out once per line with its first columns
// repeated after its end, so the eight thresholds of a byte are always
// contiguous and the column wraps once per byte instead of once per pixel.
#include "dither/standard.h"

#include <array>
#include <cstdint>

#include "dither/reference.h"
#include "page/page.h"

namespace {

// Widest matrix of the standard families, plus the repeated columns.
constexpr int kMaxRow = 136 + 8;

inline std::uint8_t DitherByte(const std::uint8_t* s, const std::uint8_t* t) {
  return static_cast<std::uint8_t>((s[0] > t[0]) << 7 | (s[1] > t[1]) << 6 | (s[2] > t[2]) << 5 |
                                   (s[3] > t[3]) << 4 | (s[4] > t[4]) << 3 | (s[5] > t[5]) << 2 |
                                   (s[6] > t[6]) << 1 | (s[7] > t[7]));
}

}  // namespace

void DitherStandard(Page& page, std::uint32_t y) {
  const std::uint32_t pixels = page.header.cupsWidth;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const int width = page.DitherWidth[p];
    if (width < 8 || width + 8 > kMaxRow) {
      // No matrix of ours has such a width; the plain routine handles any.
      DitherStandardReference(page, y);
      return;
    }

    // Thresholds are 0..255, so a byte holds each; a threshold row entry of
    // 255 can never be exceeded, exactly as the 16-bit compare.
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    std::array<std::uint8_t, kMaxRow> t;
    for (int i = 0; i < width + 7; ++i)
      t[i] = static_cast<std::uint8_t>(row[i < width ? i : i - width]);

    const std::uint8_t* in = page.InputBuffers[p];
    std::uint8_t* out = page.DotBuffers[p];
    int col = 0;
    std::uint32_t x = 0;
    for (; x + 8 <= pixels; x += 8) {
      *out++ = DitherByte(in + x, t.data() + col);
      col += 8;
      if (col >= width) col -= width;
    }
    if (x < pixels) {
      // The last, partial byte: missing pixels are samples of 0, which no
      // threshold lets through, so its low bits stay 0.
      std::array<std::uint8_t, 8> tail{};
      for (std::uint32_t i = 0; x + i < pixels; ++i) tail[i] = in[x + i];
      *out = DitherByte(tail.data(), t.data() + col);
    }
  }
}
