// The variable-dot dither as a page sees it: black generation, the ends of
// the tone scale on every plane of every set, and where black starts.
#include <gtest/gtest.h>

#include <algorithm>

#include "dither/dither.h"
#include "page/page_state.h"

namespace {

class VPhotoTest : public ::testing::Test {
 protected:
  // A page wide enough for two tiles of the widest matrix, and lines over a
  // whole tile height.
  static constexpr unsigned kWidth = 2 * 74 + 1;

  void SetUpPage(unsigned planes, unsigned media) {
    header_ = {};
    header_.cupsColorSpace = planes == 1 ? CUPS_CSPACE_K : CUPS_CSPACE_CMY;
    header_.cupsCompression = 0;
    header_.cupsWidth = kWidth;
    header_.cupsMediaType = media;
    DecideColorMode(header_, PrinterPlanes, PrinterColors);
    BindDitherTables(header_);
    ASSERT_TRUE(AllocatePageBuffers(header_));
  }
  void TearDown() override { ReleasePageBuffers(); }

  // Dithers every line of a tile with the given samples per band and returns
  // the smallest and largest code seen on plane p.
  std::pair<int, int> CodeRange(int p, std::array<std::uint8_t, 3> bands) {
    int lo = 15, hi = 0;
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(DitherHeight[p]); ++y) {
      for (int b = 0; b < std::min(PrinterPlanes, 3); ++b)
        std::fill_n(InputBuffers[b], kWidth, bands[b]);
      DitherVPhoto(&header_, y);
      for (unsigned x = 0; x < kWidth; ++x) {
        const int code = DotBuffers[p][x / 2] >> (x % 2 ? 0 : 4) & 0xF;
        lo = std::min(lo, code);
        hi = std::max(hi, code);
      }
    }
    return {lo, hi};
  }

  cups_page_header_t header_{};
};

TEST_F(VPhotoTest, EndsOfTheToneScaleOnEveryPlane) {
  struct Case {
    unsigned planes, media;
  };
  for (const Case c : {Case{1, 2}, Case{1, 16}, Case{4, 0}, Case{4, 17}}) {
    SetUpPage(c.planes, c.media);
    for (int p = 0; p < static_cast<int>(c.planes); ++p) {
      const bool black = p == 3;
      // Nothing at 0.  For black, (0, 0, 0) makes no black either.
      EXPECT_EQ(CodeRange(p, {0, 0, 0}), std::make_pair(0, 0)) << c.media << " plane " << p;
      // Full dots at 255, except on the 145 black plane, whose curve stops
      // at 153 and leaves part of the cells below 15.
      const auto full = CodeRange(p, {255, 255, 255});
      if (black && c.media == 0) {
        EXPECT_LT(full.first, 15);
        EXPECT_GT(full.second, 0);
      } else if (black || c.planes == 1) {
        EXPECT_EQ(full, std::make_pair(15, 15)) << c.media << " plane " << p;
      } else {
        // A full black pixel prints on the black plane alone.
        EXPECT_EQ(full, std::make_pair(0, 0)) << c.media << " plane " << p;
      }
    }
    // Colour planes reach full dots at 255 when black generation leaves them.
    if (c.planes == 4)
      for (int p = 0; p < 3; ++p) {
        std::array<std::uint8_t, 3> bands = {0, 0, 0};
        bands[static_cast<std::size_t>(p)] = 255;
        EXPECT_EQ(CodeRange(p, bands), std::make_pair(15, 15)) << c.media << " plane " << p;
      }
    ReleasePageBuffers();
  }
}

TEST_F(VPhotoTest, BlackGenerationTakesTheSmallestColour) {
  SetUpPage(4, 0);
  struct Case {
    std::array<std::uint8_t, 3> in, colours_after;
    std::uint8_t black;
  };
  const Case cases[] = {
      {{200, 120, 90}, {200, 120, 90}, 90},
      {{255, 255, 255}, {0, 0, 0}, 255},
      {{255, 254, 255}, {255, 254, 255}, 254},
      {{0, 255, 255}, {0, 255, 255}, 0},
  };
  for (const auto& c : cases) {
    for (int b = 0; b < 3; ++b) std::fill_n(InputBuffers[b], kWidth, c.in[b]);
    std::fill_n(InputBuffers[3], kWidth, 77);  // overwritten on every line
    DitherVPhoto(&header_, 0);
    for (int b = 0; b < 3; ++b) EXPECT_EQ(InputBuffers[b][kWidth - 1], c.colours_after[b]);
    EXPECT_EQ(InputBuffers[3][0], c.black);
  }
}

TEST_F(VPhotoTest, BlackStartsWhereItsCurveLeavesZero) {
  struct Case {
    unsigned media;
    std::uint8_t last_blank;  // the highest black sample that prints nothing
  };
  for (const Case c : {Case{0, 37}, Case{16, 180}}) {
    SetUpPage(4, c.media);
    EXPECT_EQ(CodeRange(3, {c.last_blank, c.last_blank, c.last_blank}).second, 0) << c.media;
    EXPECT_GT(CodeRange(3, {255, 255, 254}).second, 0) << c.media;
    ReleasePageBuffers();
  }
}

}  // namespace
