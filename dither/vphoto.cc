// Variable-dot dither, the fast way.  A cell's code depends only on the
// plane's tables, its matrix value and the sample, so the page gets, per
// plane, the code by sample and matrix value, built from the bound tables by
// the first line that needs it.  Per pixel that leaves one matrix read and one
// table read.
#include "dither/vphoto.h"

#include <array>
#include <cstdint>

#include "dither/reference.h"
#include "dither/vdot_code.h"
#include "page/page.h"

namespace {

// Matrix values are 1..N with N at most 148; a byte indexes them all.
constexpr std::size_t kPlaneCodes = 256 * 256;  // [sample][matrix value]

// Builds the codes of the matrix values that occur in each plane's matrix;
// false when the memory cannot be had.
bool BuildCodes(Page& page) {
  page.vdot_codes.reset(static_cast<std::uint8_t*>(std::malloc(kMaxPlanes * kPlaneCodes)));
  if (!page.vdot_codes) return false;
  const bool four_planes = page.PrinterPlanes > 1;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    std::array<bool, 256> used{};
    const std::int16_t* matrix = page.DitherData[p];
    for (int i = 0; i < page.DitherWidth[p] * page.DitherHeight[p]; ++i)
      used[static_cast<std::uint8_t>(matrix[i])] = true;
    const std::int16_t base = four_planes ? page.DitherBases[p] : 0;
    std::uint8_t* codes = page.vdot_codes.get() + p * kPlaneCodes;
    for (int s = 0; s < 256; ++s)
      for (int m = 0; m < 256; ++m)
        if (used[m])
          codes[s * 256 + m] = static_cast<std::uint8_t>(
              VDotCode(page.DitherAdjust[p], page.DitherExpand[p], page.DitherTone[p], base,
                       four_planes, static_cast<std::uint8_t>(s), static_cast<std::int16_t>(m)));
  }
  return true;
}

void GenerateBlack(Page& page, std::uint32_t pixels) {
  std::uint8_t* c = page.InputBuffers[0];
  std::uint8_t* m = page.InputBuffers[1];
  std::uint8_t* y = page.InputBuffers[2];
  std::uint8_t* k = page.InputBuffers[3];
  for (std::uint32_t x = 0; x < pixels; ++x) {
    std::uint8_t v = c[x] < m[x] ? c[x] : m[x];
    v = y[x] < v ? y[x] : v;
    k[x] = v;
    if (v == 255) c[x] = m[x] = y[x] = 0;
  }
}

}  // namespace

void DitherVPhoto(Page& page, std::uint32_t y) {
  if (!page.vdot_codes && !BuildCodes(page)) {
    DitherVPhotoReference(page, y);
    return;
  }
  const std::uint32_t pixels = page.header.cupsWidth;
  if (page.PrinterPlanes > 1) GenerateBlack(page, pixels);

  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const int width = page.DitherWidth[p];
    const std::int16_t* row =
        page.DitherData[p] + (y % static_cast<std::uint32_t>(page.DitherHeight[p])) * width;
    const std::uint8_t* codes = page.vdot_codes.get() + p * kPlaneCodes;
    const std::uint8_t* in = page.InputBuffers[p];
    std::uint8_t* out = page.DotBuffers[p];
    int col = 0;
    auto code = [&](std::uint8_t sample) {
      const std::uint8_t m = static_cast<std::uint8_t>(row[col]);
      if (++col == width) col = 0;
      return codes[sample * 256 + m];
    };
    std::uint32_t x = 0;
    for (; x + 2 <= pixels; x += 2) {
      const int hi = code(in[x]);
      const int lo = code(in[x + 1]);
      *out++ = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    if (x < pixels) *out = static_cast<std::uint8_t>(code(in[x]) << 4);
  }
}
