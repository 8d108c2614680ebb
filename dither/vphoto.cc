// Variable-dot dither, the fast way.  A cell's code depends only on the
// plane's tables, its matrix value and the sample, so each plane gets a
// lookup of the code by sample and matrix value, built from the bound tables
// the first time a line needs it and kept while the binding stays the same
// (the tables are constant, so their addresses identify them).  Per pixel that
// leaves one matrix read and one table read.
#include <array>
#include <cstdint>

#include "dither/dither.h"
#include "dither/vdot_code.h"
#include "page/page_state.h"

namespace {

// Matrix values are 1..N with N at most 148; a byte indexes them all.
using CodeTable = std::array<std::array<std::uint8_t, 256>, 256>;  // [sample][m]
std::array<CodeTable, kMaxPlanes> codes;

struct Binding {
  const std::int16_t* matrix = nullptr;
  int cells = 0;
  const std::int16_t* adjust = nullptr;
  const std::int16_t* expand = nullptr;
  const ToneEntry* tone = nullptr;
  std::int16_t base = 0;
  bool four_planes = false;
  bool operator==(const Binding&) const = default;
};
std::array<Binding, kMaxPlanes> built;

// The matrix values that occur in the plane's matrix, to build only those.
void BuildCodes(int p, const Binding& b) {
  std::array<bool, 256> used{};
  for (int i = 0; i < b.cells; ++i) used[static_cast<std::uint8_t>(b.matrix[i])] = true;
  for (int s = 0; s < 256; ++s)
    for (int m = 0; m < 256; ++m)
      if (used[m])
        codes[p][s][m] = static_cast<std::uint8_t>(
            VDotCode(b.adjust, b.expand, b.tone, b.base, b.four_planes,
                     static_cast<std::uint8_t>(s), static_cast<std::int16_t>(m)));
  built[p] = b;
}

void GenerateBlack(std::uint32_t pixels) {
  std::uint8_t* c = InputBuffers[0];
  std::uint8_t* m = InputBuffers[1];
  std::uint8_t* y = InputBuffers[2];
  std::uint8_t* k = InputBuffers[3];
  for (std::uint32_t x = 0; x < pixels; ++x) {
    std::uint8_t v = c[x] < m[x] ? c[x] : m[x];
    v = y[x] < v ? y[x] : v;
    k[x] = v;
    if (v == 255) c[x] = m[x] = y[x] = 0;
  }
}

}  // namespace

void DitherVPhoto(const cups_page_header_t* header, std::uint32_t y) {
  const std::uint32_t pixels = header->cupsWidth;
  const bool four_planes = PrinterPlanes > 1;
  if (four_planes) GenerateBlack(pixels);

  for (int p = 0; p < PrinterPlanes; ++p) {
    const Binding binding{DitherData[p],   DitherWidth[p] * DitherHeight[p],
                          DitherAdjust[p], DitherExpand[p],
                          DitherTone[p],   four_planes ? DitherBases[p] : std::int16_t{0},
                          four_planes};
    if (!(built[p] == binding)) BuildCodes(p, binding);

    const int width = DitherWidth[p];
    const std::int16_t* row =
        DitherData[p] + (y % static_cast<std::uint32_t>(DitherHeight[p])) * width;
    const CodeTable& table = codes[p];
    const std::uint8_t* in = InputBuffers[p];
    std::uint8_t* out = DotBuffers[p];
    int col = 0;
    auto next = [&] {
      const std::uint8_t m = static_cast<std::uint8_t>(row[col]);
      if (++col == width) col = 0;
      return m;
    };
    std::uint32_t x = 0;
    for (; x + 2 <= pixels; x += 2) {
      const int hi = table[in[x]][next()];
      const int lo = table[in[x + 1]][next()];
      *out++ = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    if (x < pixels) *out = static_cast<std::uint8_t>(table[in[x]][next()] << 4);
  }
}
