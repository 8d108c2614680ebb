// The fast halftoning routines against the plain ones, and the properties of
// the dither that a printer sees: strict thresholds, bit and nibble order,
// odd widths, row and column phases.
#include "dither/dither.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "page/page_state.h"

namespace {

// Sets up the page state for a page of the given mode, resolution and media
// type, with fresh buffers; released at the end of the test.
class PageFixture : public ::testing::Test {
 protected:
  void SetUpPage(cups_cspace_t space, unsigned width, unsigned dpi = 600, unsigned compression = 1,
                 unsigned media = 0) {
    header_ = {};
    header_.cupsColorSpace = space;
    header_.cupsCompression = compression;
    header_.cupsWidth = width;
    header_.HWResolution[0] = header_.HWResolution[1] = dpi;
    header_.cupsMediaType = media;
    DecideColorMode(header_, PrinterPlanes, PrinterColors);
    BindDitherTables(header_);
    ASSERT_TRUE(AllocatePageBuffers(header_));
  }
  void TearDown() override { ReleasePageBuffers(); }

  void FillRandom(std::mt19937& rng, int flat_every = 0) {
    for (int p = 0; p < PrinterPlanes; ++p)
      for (unsigned x = 0; x < header_.cupsWidth; ++x)
        InputBuffers[p][x] =
            static_cast<std::uint8_t>(flat_every ? 255 * (x / flat_every % 2) : rng());
  }
  std::vector<std::uint8_t> Dots() const {
    return {DotBuffers[0], DotBuffers[0] + PrinterPlanes * DotLength};
  }
  std::vector<std::uint8_t> Input() const {
    return {InputBuffers[0], InputBuffers[0] + PrinterPlanes * header_.cupsWidth};
  }

  cups_page_header_t header_{};
};

using Routine = void (*)(const cups_page_header_t*, std::uint32_t);

struct Mode {
  const char* name;
  cups_cspace_t space;
  unsigned compression;
  unsigned media;
  Routine fast, plain;
};

const Mode kModes[] = {
    {"cmyk", CUPS_CSPACE_CMYK, 1, 0, DitherStandard, DitherStandardReference},
    {"black", CUPS_CSPACE_K, 1, 0, DitherStandard, DitherStandardReference},
    {"gold", CUPS_CSPACE_GMCS, 1, 0, DitherStandard, DitherStandardReference},
    {"white", CUPS_CSPACE_WHITE, 1, 0, DitherStandard, DitherStandardReference},
    {"photo", CUPS_CSPACE_YMC, 1, 0, DitherPhoto, DitherPhotoReference},
    {"vdot-colour-145", CUPS_CSPACE_CMY, 0, 0, DitherVPhoto, DitherVPhotoReference},
    {"vdot-colour-190", CUPS_CSPACE_CMY, 0, 16, DitherVPhoto, DitherVPhotoReference},
    {"vdot-grey-160", CUPS_CSPACE_K, 0, 2, DitherVPhoto, DitherVPhotoReference},
    {"vdot-grey-100", CUPS_CSPACE_K, 0, 17, DitherVPhoto, DitherVPhotoReference},
};

TEST_F(PageFixture, FastRoutinesMatchThePlainOnes) {
  std::mt19937 rng(7);
  std::vector<unsigned> widths;
  for (unsigned w = 0; w <= 70; ++w) widths.push_back(w);
  widths.push_back(5100);  // Letter at 600 dpi
  for (const Mode& mode : kModes) {
    for (unsigned dpi : {300u, 600u, 1200u}) {
      for (unsigned width : widths) {
        SetUpPage(mode.space, width, dpi, mode.compression, mode.media);
        for (std::uint32_t y : {0u, 1u, 17u, 67u, 1000u}) {
          FillRandom(rng, y == 17 ? 5 : 0);
          const auto input = Input();
          mode.plain(&header_, y);
          const auto expected = Dots();
          const auto expected_input = Input();  // black generation rewrites band 3
          std::copy(input.begin(), input.end(), InputBuffers[0]);
          std::fill(DotBuffers[0], DotBuffers[0] + PrinterPlanes * DotLength, 0xA5);
          mode.fast(&header_, y);
          ASSERT_EQ(Dots(), expected)
              << mode.name << " " << dpi << " dpi, width " << width << ", line " << y;
          ASSERT_EQ(Input(), expected_input) << mode.name;
        }
        ReleasePageBuffers();
      }
    }
  }
}

TEST_F(PageFixture, StandardDotNeedsASampleAboveTheThreshold) {
  SetUpPage(CUPS_CSPACE_K, 68 * 2, 600);
  for (std::uint32_t y = 0; y < 68; ++y) {
    const std::int16_t* row = DitherData[0] + y * 68;
    // Sample equal to each threshold: no dot; one above: a dot.
    for (unsigned x = 0; x < 136; ++x) InputBuffers[0][x] = static_cast<std::uint8_t>(row[x % 68]);
    DitherStandard(&header_, y);
    for (int i = 0; i < DotLength; ++i) ASSERT_EQ(DotBuffers[0][i], 0) << "line " << y;
    for (unsigned x = 0; x < 136; ++x)
      InputBuffers[0][x] = static_cast<std::uint8_t>(row[x % 68] == 255 ? 255 : row[x % 68] + 1);
    DitherStandard(&header_, y);
    for (unsigned x = 0; x < 136; ++x) {
      const bool dot = DotBuffers[0][x / 8] & (0x80 >> (x % 8));
      ASSERT_EQ(dot, row[x % 68] != 255) << "line " << y << " pixel " << x;
    }
  }
}

TEST_F(PageFixture, OddWidthsLeaveTheUnusedBitsAndNibblesClear) {
  struct Case {
    cups_cspace_t space;
    unsigned compression, width;
    int dot_length;
    std::uint8_t last_mask;  // bits of the last byte that carry pixels
  };
  const Case cases[] = {
      {CUPS_CSPACE_K, 1, 1, 1, 0x80},   {CUPS_CSPACE_K, 1, 8, 1, 0xFF},
      {CUPS_CSPACE_K, 1, 9, 2, 0x80},   {CUPS_CSPACE_YMC, 1, 9, 5, 0xF0},
      {CUPS_CSPACE_K, 0, 9, 5, 0xF0},   {CUPS_CSPACE_CMY, 0, 1, 1, 0xF0},
      {CUPS_CSPACE_YMC, 1, 8, 4, 0xFF},
  };
  for (const auto& c : cases) {
    SetUpPage(c.space, c.width, 600, c.compression);
    EXPECT_EQ(DotLength, c.dot_length);
    std::fill(InputBuffers[0], InputBuffers[0] + PrinterPlanes * c.width, 255);
    std::fill(DotBuffers[0], DotBuffers[0] + PrinterPlanes * DotLength, 0xFF);
    (PrinterColors == 3   ? DitherPhoto
     : PrinterColors == 5 ? DitherVPhoto
                          : DitherStandard)(&header_, 1);
    for (int p = 0; p < PrinterPlanes; ++p)
      EXPECT_EQ(DotBuffers[p][DotLength - 1] & ~c.last_mask, 0)
          << "space " << c.space << " width " << c.width << " plane " << p;
    ReleasePageBuffers();
  }
}

TEST_F(PageFixture, PhotoCodesFollowTheCurveInSeventeenths) {
  SetUpPage(CUPS_CSPACE_YMC, 17 * 17);
  // Plane 1's curve is the identity: 17k and 17k + 1 give code k everywhere,
  // 17k + 16 gives k + 1 in the 255 of 289 cells whose threshold is below 16.
  for (int k = 0; k < 15; ++k) {
    for (int extra : {0, 1, 16}) {
      int raised = 0;
      for (std::uint32_t y = 0; y < 17; ++y) {
        std::fill(InputBuffers[1], InputBuffers[1] + 289,
                  static_cast<std::uint8_t>(17 * k + extra));
        DitherPhoto(&header_, y);
        for (int x = 0; x < 17; ++x) {
          const int code = DotBuffers[1][x / 2] >> (x % 2 ? 0 : 4) & 0xF;
          ASSERT_TRUE(code == k || code == k + 1);
          raised += code - k;
        }
      }
      EXPECT_EQ(raised, extra == 16 ? 255 : 0) << "value " << 17 * k + extra;
    }
  }
  std::fill(InputBuffers[0], InputBuffers[0] + 3 * 289, 255);
  DitherPhoto(&header_, 5);
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < DotLength - 1; ++i) ASSERT_EQ(DotBuffers[p][i], 0xFF);
    EXPECT_EQ(DotBuffers[p][DotLength - 1], 0xF0);  // 289 pixels: odd width
  }
}

}  // namespace
