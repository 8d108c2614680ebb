// The fast halftoning routines against the plain ones, which are the
// definition, and the photo tone curves at their listed points.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "dither/photo.h"
#include "dither/reference.h"
#include "dither/standard.h"
#include "dither/vphoto.h"
#include "tests/support/job.h"
#include "tests/support/kernel_targets.h"

namespace zelt_test {
namespace {

using Routine = void (*)(Page&, std::uint32_t);

constexpr std::size_t kGuard = 64;  // bytes after each dot row that stay untouched

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

// The fast routines on every compiled kernel target against the plain ones:
// every mode's tables at every resolution, widths 0 to 70 and a Letter line,
// lines at random page rows, and samples at random, in runs of 0 and 255
// (short ones and whole vectors), and at each cell's threshold and one either
// side.  Each plane's buffers are exactly as long as the routines may use (the
// sanitizer build sees any read past them), and guard bytes follow each dot
// row.
TEST(Dither, FastRoutinesMatchThePlainOnes) {
  std::mt19937 rng(7);
  for (const Mode& mode : kModes) {
    for (unsigned dpi : {300u, 600u, 1200u}) {
      std::vector<unsigned> widths(71);
      std::iota(widths.begin(), widths.end(), 0u);
      widths.push_back(17 * dpi / 2);
      for (unsigned width : widths) {
        auto page = HalftonePage(mode.space, width, dpi, mode.compression, mode.media);
        ASSERT_TRUE(page);
        const int planes = page->PrinterPlanes;
        const std::size_t dot_length = static_cast<std::size_t>(page->DotLength);
        std::vector<std::vector<std::uint8_t>> input(planes), bands(planes), rewritten(planes),
            dots(planes), expected(planes);
        for (int p = 0; p < planes; ++p) {
          bands[p].resize(width);
          dots[p].resize(dot_length + kGuard);
          page->InputBuffers[p] = bands[p].data();
          page->DotBuffers[p] = dots[p].data();
        }
        for (int fill = 0; fill < 6; ++fill) {
          const std::uint32_t y = fill < 3 ? fill * 17u : static_cast<std::uint32_t>(rng());
          for (int p = 0; p < planes; ++p) {
            const std::int16_t* row =
                page->DitherData[p] + y % page->DitherHeight[p] * page->DitherWidth[p];
            for (unsigned x = 0; x < width; ++x) {
              const int t = row[x % page->DitherWidth[p]] + static_cast<int>(x % 3) - 1;
              const bool full = x % 512 >= 256 || x / 5 % 2;
              bands[p][x] = static_cast<std::uint8_t>(fill % 3 == 0   ? rng()
                                                      : fill % 3 == 1 ? 255 * full
                                                                      : std::clamp(t, 0, 255));
            }
            input[p] = bands[p];
          }
          mode.plain(*page, y);
          for (int p = 0; p < planes; ++p) {
            expected[p].assign(dots[p].begin(), dots[p].begin() + dot_length);
            rewritten[p] = bands[p];  // black generation rewrites the bands
          }
          ForEachKernelTarget([&] {
            for (int p = 0; p < planes; ++p) {
              std::copy(input[p].begin(), input[p].end(), bands[p].begin());
              std::fill(dots[p].begin(), dots[p].end(), 0xA5);
            }
            mode.fast(*page, y);
            for (int p = 0; p < planes; ++p) {
              ASSERT_TRUE(std::equal(expected[p].begin(), expected[p].end(), dots[p].begin()) &&
                          std::all_of(dots[p].begin() + dot_length, dots[p].end(),
                                      [](std::uint8_t b) { return b == 0xA5; }))
                  << mode.name << " " << dpi << " dpi, width " << width << ", line " << y
                  << ", fill " << fill << ", plane " << p;
              ASSERT_EQ(bands[p], rewritten[p]) << mode.name << ", plane " << p;
            }
          });
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
