// The print box of variable-dot pages and the glossy test.
#include "output/plane_commands.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PrintBox, FromImagingBoxMarginsAndPageSize) {
  struct Case {
    const char* name;
    std::array<unsigned, 4> imaging;  // left, bottom, right, top (points)
    std::array<unsigned, 2> margins, page;
    unsigned vres, width, height;
    PrintBox expected;
  };
  // clang-format off
  const Case cases[] = {
      // 1/2 inch box inside a 1 x 1 inch raster at 144 dpi vertical.
      {"inside", {36, 36, 72, 72}, {0, 0}, {72, 72}, 144, 144, 144, {72, 0, 72, 72}},
      {"margins subtracted", {46, 46, 82, 82}, {10, 10}, {72, 72}, 144, 144, 144, {72, 0, 72, 72}},
      {"empty width: whole raster", {72, 0, 72, 72}, {0, 0}, {72, 72}, 144, 100, 90, {0, 0, 100, 90}},
      {"empty height: whole raster", {0, 50, 72, 40}, {0, 0}, {72, 72}, 144, 100, 90, {0, 0, 100, 90}},
      // Top above the raster: Y < 0 is cut to 0 and H shortened by as much.
      {"above the raster", {0, 0, 36, 72}, {0, 0}, {72, 72}, 144, 144, 100, {0, 0, 72, 100}},
      // One line above: the smallest overhang.
      {"one line above", {0, 0, 36, 73}, {0, 0}, {72, 100}, 72, 72, 72, {0, 0, 36, 72}},
      // Right of the raster: W cut to what is left after X.
      {"right of the raster", {36, 0, 72, 36}, {0, 0}, {72, 72}, 144, 100, 144, {72, 72, 28, 72}},
      // Edges beyond the page are clipped to it; negative left/bottom to 0.
      {"beyond the page", {0, 0, 200, 200}, {10, 10}, {72, 72}, 72, 72, 72, {0, 0, 72, 72}},
      // The vertical resolution serves the horizontal values too.
      {"vertical resolution", {0, 0, 36, 36}, {0, 0}, {72, 72}, 300, 600, 300, {0, 150, 150, 150}},
  };
  // clang-format on
  for (const auto& c : cases) {
    cups_page_header2_t h{};
    for (int i = 0; i < 4; ++i) h.ImagingBoundingBox[i] = c.imaging[i];
    h.Margins[0] = c.margins[0];
    h.Margins[1] = c.margins[1];
    h.PageSize[0] = c.page[0];
    h.PageSize[1] = c.page[1];
    h.HWResolution[0] = 1;
    h.HWResolution[1] = c.vres;
    h.cupsWidth = c.width;
    h.cupsHeight = c.height;
    const PrintBox b = ComputePrintBox(h);
    EXPECT_EQ(std::tie(b.x, b.y, b.width, b.height),
              std::tie(c.expected.x, c.expected.y, c.expected.width, c.expected.height))
        << c.name;
  }
}

TEST(Glossy, OnlyTheExactName) {
  const std::pair<const char*, bool> cases[] = {
      {"Glossy", true},   {"glossy", false}, {"GLOSSY", false},
      {"Glossy2", false}, {"Gloss", false},  {"", false},
  };
  for (const auto& [name, glossy] : cases) {
    cups_page_header2_t h{};
    std::strcpy(h.OutputType, name);
    EXPECT_EQ(IsGlossy(h), glossy) << name;
  }
}

}  // namespace
