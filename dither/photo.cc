// Photo dither, the fast way: two pixels (one output byte) per step, with the
// matrix row laid out once per line so the column wraps once per byte.
#include "dither/photo.h"

#include <array>
#include <cstdint>

#include "dither/reference.h"
#include "page/page.h"

namespace {

constexpr int kMaxRow = 64;

// Code of one pixel: the curve value's sixteenth (in steps of 17), raised by
// one where its remainder exceeds the cell's threshold.
inline int PhotoCode(int c, std::int16_t threshold) {
  const int q = c / 17;
  return c - 17 * q > threshold ? q + 1 : q;
}

}  // namespace

void DitherPhoto(Page& page, std::uint32_t y) {
  const std::uint32_t pixels = page.header.cupsWidth;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const int width = page.DitherWidth[p];
    if (width < 2 || width + 1 > kMaxRow) {
      DitherPhotoReference(page, y);
      return;
    }
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    std::array<std::int16_t, kMaxRow> t;
    for (int i = 0; i < width; ++i) t[i] = row[i];
    t[width] = row[0];

    const auto& curve = page.DitherLUTs[p];
    const std::uint8_t* in = page.InputBuffers[p];
    std::uint8_t* out = page.DotBuffers[p];
    int col = 0;
    std::uint32_t x = 0;
    for (; x + 2 <= pixels; x += 2) {
      const int hi = PhotoCode(curve[in[x]], t[col]);
      const int lo = PhotoCode(curve[in[x + 1]], t[col + 1]);
      *out++ = static_cast<std::uint8_t>(hi << 4 | lo);
      col += 2;
      if (col >= width) col -= width;
    }
    if (x < pixels) *out = static_cast<std::uint8_t>(PhotoCode(curve[in[x]], t[col]) << 4);
  }
}
