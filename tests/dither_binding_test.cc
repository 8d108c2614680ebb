// Which tables a page binds to its planes, by mode, resolution and media
// type, and the photo tone curves.
#include <gtest/gtest.h>

#include "page/page_state.h"

namespace {

struct Bound {
  const std::int16_t* data;
  int width, height;
};

template <int W, int H>
Bound B(const DitherMatrix<W, H>& m) {
  return {m.data(), W, H};
}

void Bind(cups_cspace_t space, unsigned compression, unsigned dpi, unsigned media = 0) {
  cups_page_header_t h{};
  h.cupsColorSpace = space;
  h.cupsCompression = compression;
  h.HWResolution[0] = dpi;
  h.HWResolution[1] = 600;
  h.cupsMediaType = media;
  DecideColorMode(h, PrinterPlanes, PrinterColors);
  BindDitherTables(h);
}

TEST(DitherBinding, StandardModesByResolution) {
  struct Case {
    cups_cspace_t space;
    unsigned dpi;
    std::vector<Bound> planes;
  };
  const Case cases[] = {
      {CUPS_CSPACE_CMYK,
       600,
       {B<12, 18>(FineCyanDither), B<68, 68>(FineMagentaDither), B<10, 15>(FineYellowDither),
        B<68, 68>(FineBlackDither)}},
      {CUPS_CSPACE_CMYK,
       300,
       {B<8, 8>(MediumCyanDither), B<30, 30>(MediumMagentaDither), B<9, 9>(MediumYellowDither),
        B<30, 30>(MediumBlackDither)}},
      {CUPS_CSPACE_KCMY,
       1200,
       {B<24, 18>(Fine2CyanDither), B<136, 68>(Fine2MagentaDither), B<20, 15>(Fine2YellowDither),
        B<136, 68>(Fine2BlackDither)}},
      {CUPS_CSPACE_GMCK, 1200, std::vector<Bound>(4, B<136, 68>(Fine2BlackDither))},
      {CUPS_CSPACE_GMCS, 300, std::vector<Bound>(4, B<30, 30>(MediumBlackDither))},
      {CUPS_CSPACE_WHITE, 300, {B<30, 30>(MediumBlackDither)}},
      {CUPS_CSPACE_K, 600, {B<68, 68>(FineBlackDither)}},
      // No screens of its own: the nearest family.
      {CUPS_CSPACE_K, 360, {B<30, 30>(MediumBlackDither)}},
      {CUPS_CSPACE_K, 720, {B<68, 68>(FineBlackDither)}},
      {CUPS_CSPACE_K, 2400, {B<136, 68>(Fine2BlackDither)}},
  };
  for (const auto& c : cases) {
    Bind(c.space, 1, c.dpi);
    ASSERT_EQ(PrinterPlanes, static_cast<int>(c.planes.size()));
    for (int p = 0; p < PrinterPlanes; ++p) {
      EXPECT_EQ(DitherData[p], c.planes[p].data) << c.space << " at " << c.dpi << ", plane " << p;
      EXPECT_EQ(DitherWidth[p], c.planes[p].width);
      EXPECT_EQ(DitherHeight[p], c.planes[p].height);
    }
  }
}

TEST(DitherBinding, PhotoAndVariableDotSets) {
  for (unsigned dpi : {300u, 360u, 1200u}) {
    Bind(CUPS_CSPACE_YMC, 1, dpi);
    for (int p = 0; p < 3; ++p) {
      EXPECT_EQ(DitherData[p], ContoneAllDither.data());
      EXPECT_EQ(DitherWidth[p], 17);
    }
  }
  struct Case {
    cups_cspace_t space;
    unsigned media;
    const std::int16_t* black_or_grey_matrix;
    int width, height;
    const ToneEntry* tone;
    const std::int16_t* bases;
  };
  const Case cases[] = {
      {CUPS_CSPACE_K, 15, VDitherGray160.data(), 26, 26, VToneGray160.data(), VBases160.data()},
      {CUPS_CSPACE_K, 16, VDitherGray100.data(), 74, 74, VToneGray100.data(), VBases100.data()},
      {CUPS_CSPACE_K, 17, VDitherGray100.data(), 74, 74, VToneGray100.data(), VBases100.data()},
      {CUPS_CSPACE_CMY, 18, VDitherBlack145.data(), 64, 32, VToneBlack145.data(), VBases145.data()},
      {CUPS_CSPACE_CMY, 16, VDitherBlack190.data(), 24, 24, VToneBlack190.data(), VBases190.data()},
  };
  for (const auto& c : cases) {
    Bind(c.space, 0, 600, c.media);
    const int last = PrinterPlanes - 1;
    EXPECT_EQ(DitherData[last], c.black_or_grey_matrix) << c.media;
    EXPECT_EQ(DitherWidth[last], c.width);
    EXPECT_EQ(DitherHeight[last], c.height);
    EXPECT_EQ(DitherTone[last], c.tone);
    EXPECT_EQ(DitherBases, c.bases);
  }
  Bind(CUPS_CSPACE_CMY, 0, 600, 2);
  EXPECT_EQ(DitherData[0], VDitherCyan145.data());
  EXPECT_EQ(DitherAdjust[3], VAdjustBlack145.data());
  EXPECT_EQ(DitherExpand[2], VExpandYellow145.data());
  Bind(CUPS_CSPACE_CMY, 0, 600, 17);
  EXPECT_EQ(DitherWidth[2], 12);
  EXPECT_EQ(DitherTone[1], VToneMagenta190.data());
}

TEST(DitherBinding, PhotoToneCurvesTruncate) {
  Bind(CUPS_CSPACE_YMC, 1, 600);
  struct Point {
    int curve, in, out;
  };
  const Point points[] = {
      {0, 0, 0},     {0, 2, 0},     {0, 3, 1},     {0, 64, 47},   {0, 128, 110},
      {0, 254, 253}, {0, 255, 255}, {1, 128, 128}, {1, 255, 255}, {2, 2, 1},
      {2, 64, 52},   {2, 128, 116}, {2, 192, 184}, {2, 255, 255},
  };
  for (const auto& pt : points)
    EXPECT_EQ(DitherLUTs[pt.curve][pt.in], pt.out) << "curve " << pt.curve << " at " << pt.in;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(DitherLUTs[1][i], i);
}

}  // namespace
