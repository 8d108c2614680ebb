// The fast halftoning routines against the plain ones, which are the
// definition, and the photo tone curves at their listed points.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dither/photo.h"
#include "dither/reference.h"
#include "dither/standard.h"
#include "dither/vphoto.h"
#include "tests/support/job.h"

namespace zelt_test {
namespace {

using Routine = void (*)(Page&, std::uint32_t);

struct Mode {
  const char* name;
  cups_cspace_t space;
  unsigned compression, media;
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

TEST(Dither, FastRoutinesMatchThePlainOnes) {
  std::mt19937 rng(7);
  std::vector<unsigned> widths;
  for (unsigned w = 0; w <= 70; ++w) widths.push_back(w);
  widths.push_back(5100);  // Letter at 600 dpi
  for (const Mode& mode : kModes) {
    for (unsigned dpi : {300u, 600u, 1200u}) {
      for (unsigned width : widths) {
        auto page = HalftonePage(mode.space, width, dpi, mode.compression, mode.media);
        ASSERT_TRUE(page);
        const std::size_t in_bytes = page->PrinterPlanes * std::size_t{width};
        const std::size_t dot_bytes = page->PrinterPlanes * std::size_t(page->DotLength);
        for (std::uint32_t y : {0u, 1u, 17u, 67u, 1000u}) {
          // Random samples, or runs of 0 and 255 (whole cells at the ends).
          for (std::size_t i = 0; i < in_bytes; ++i)
            page->InputBuffers[0][i] =
                static_cast<std::uint8_t>(y == 17 ? 255 * (i % width / 5 % 2) : rng());
          const std::vector<std::uint8_t> input(page->InputBuffers[0],
                                                page->InputBuffers[0] + in_bytes);
          mode.plain(*page, y);
          const std::vector<std::uint8_t> dots(page->DotBuffers[0],
                                               page->DotBuffers[0] + dot_bytes);
          const std::vector<std::uint8_t> bands(page->InputBuffers[0],
                                                page->InputBuffers[0] + in_bytes);
          std::copy(input.begin(), input.end(), page->InputBuffers[0]);
          std::fill_n(page->DotBuffers[0], dot_bytes, 0xA5);
          mode.fast(*page, y);
          ASSERT_TRUE(std::equal(dots.begin(), dots.end(), page->DotBuffers[0]))
              << mode.name << " " << dpi << " dpi, width " << width << ", line " << y;
          // Black generation rewrites the bands the same way.
          ASSERT_TRUE(std::equal(bands.begin(), bands.end(), page->InputBuffers[0])) << mode.name;
        }
      }
    }
  }
}

TEST(Dither, PhotoToneCurvesTruncate) {
  const auto page = HalftonePage(CUPS_CSPACE_YMC, 1);
  struct Point {
    int curve, in, out;
  };
  const Point points[] = {
      {0, 0, 0},     {0, 2, 0},     {0, 3, 1}, {0, 64, 47}, {0, 128, 110}, {0, 254, 253},
      {0, 255, 255}, {1, 128, 128}, {2, 2, 1}, {2, 64, 52}, {2, 128, 116}, {2, 192, 184},
  };
  for (const auto& pt : points)
    EXPECT_EQ(page->DitherLUTs[pt.curve][pt.in], pt.out) << "curve " << pt.curve << " at " << pt.in;
}

}  // namespace
}  // namespace zelt_test
