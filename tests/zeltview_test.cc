// zeltview's parts on the filter's own output: previews written and read
// back, the tone check against the raster, and the command line's report,
// fault offsets and exit status.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/job.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tools/png_writer.h"
#include "tools/preview.h"
#include "tools/raster_compare.h"

namespace zelt_test {
namespace {

using namespace zelt::stream;
using zelt::view::PngImage;

PngImage Read(const std::string& path, int channels) {
  PngImage image;
  std::string error;
  EXPECT_TRUE(zelt::view::ReadPng(path, channels, &image, &error)) << error;
  return image;
}

// One page whose lines are given band by band, printed by the filter.
struct Printed {
  std::string raster;
  std::vector<std::uint8_t> stream;
};
Printed PrintLines(const TempDir& tmp, cups_cspace_t space, unsigned dpi,
                   const std::vector<std::vector<std::uint8_t>>& lines) {
  const unsigned width = static_cast<unsigned>(lines[0].size() / BandsOf(space));
  Printed p{WritePage(tmp.File("in.ras"),
                      MakeHeader(width, static_cast<unsigned>(lines.size()), space, dpi),
                      [&](unsigned y, std::span<std::uint8_t> line) {
                        std::copy(lines[y].begin(), lines[y].end(), line.begin());
                      }),
            {}};
  p.stream = PrintInProcess(p.raster, tmp.path())->sink.bytes;
  return p;
}

// Photo mode's magenta plane has the identity curve, so 136 (8 x 17) prints
// code 8 and 255 code 15 in every cell: the previews' averages are exact.
std::vector<std::vector<std::uint8_t>> PhotoLines() {
  std::vector<std::vector<std::uint8_t>> lines(4, std::vector<std::uint8_t>(18, 0));
  for (int y = 0; y < 2; ++y)
    for (int x : {0, 1, 4, 5}) lines[y][6 + x] = x < 2 ? 136 : 255;
  lines[2][6 + 5] = lines[3][6 + 5] = 255;
  return lines;
}

TEST(Preview, BlocksOfDotsAndInks) {
  TempDir tmp;
  const Printed photo = PrintLines(tmp, CUPS_CSPACE_YMC, 600, PhotoLines());
  const std::string prefix = tmp.File("p");
  zelt::view::PreviewBuilder preview(prefix, 2);
  Error error;
  ASSERT_TRUE(DecodeBytes(photo.stream, preview, {}, &error)) << error.message;
  EXPECT_TRUE(preview.error().empty()) << preview.error();
  ASSERT_EQ(preview.written().size(), 4u);  // three planes and the composite
  const PngImage magenta = Read(prefix + "-page1-plane1.png", 1);
  ASSERT_EQ(magenta.width, 3);
  ASSERT_EQ(magenta.height, 2);
  EXPECT_EQ(magenta.pixels, (std::vector<std::uint8_t>{255 - 136, 255, 0, 255, 255, 255 - 128}));
  const PngImage composite = Read(prefix + "-page1.png", 3);
  EXPECT_EQ(composite.pixels[3], 255);  // paper
  EXPECT_LT(composite.pixels[7], 128);  // magenta takes green away
  EXPECT_GT(composite.pixels[6], 200);  // and leaves red
}

TEST(ToneCheck, BlackGenerationInTheInputBands) {
  TempDir tmp;
  std::vector<zelt::view::RasterPage> pages;
  std::string error;
  // Black generation: the black band is the least of the three colours, and
  // a full black pixel leaves its colours empty.
  const Printed vdot = PrintLines(tmp, CUPS_CSPACE_CMY, 600, {{255, 200, 255, 120, 255, 90}});
  ASSERT_TRUE(zelt::view::ReadRasterPages(vdot.raster, &pages, &error)) << error;
  EXPECT_EQ(pages[0].planes, 4);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[0], 200 / 510.0);
  EXPECT_DOUBLE_EQ(pages[0].input_ink[3], (255 + 90) / 510.0);
}

TEST(ZeltviewCommand, ReportsStructureAndFaults) {
  const std::string zeltview = std::string(ZELT_BUILD_DIR) + "/zeltview";
  TempDir tmp;
  Printed photo = PrintLines(tmp, CUPS_CSPACE_YMC, 600, PhotoLines());
  const std::string path = tmp.File("job.zelt");
  WriteFile(path, std::string(photo.stream.begin(), photo.stream.end()));
  const auto good = RunProgram({zeltview, "--against", photo.raster, path});
  EXPECT_EQ(good.status, 0) << good.err;
  for (const std::string& line :
       {"job: 1 page, " + std::to_string(photo.stream.size()) + " bytes",
        std::string("colour mode 3, 3 planes (Yellow, Magenta, Cyan), 4-bit rows of 3 bytes"),
        std::string("plane 1 Magenta: input 33.889%, printed 33.889%, difference +0.000%")})
    EXPECT_NE(good.out.find(line), std::string::npos) << good.out;
  // Told the wrong mode, the checker refuses the page where it says so.
  const auto wrong_mode = RunProgram({zeltview, "--mode", "0", path});
  EXPECT_EQ(wrong_mode.status, 1);
  EXPECT_NE(wrong_mode.err.find("not the expected mode 0"), std::string::npos) << wrong_mode.err;

  photo.stream.resize(photo.stream.size() - 2);  // inside the job-end sequence
  WriteFile(path, std::string(photo.stream.begin(), photo.stream.end()));
  RunOptions from_stdin;
  from_stdin.stdin_path = path;
  const auto cut = RunProgram({zeltview, "-"}, from_stdin);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err.rfind("zeltview: offset " + std::to_string(photo.stream.size() - 2) + ": ", 0),
            0u)
      << cut.err;
  EXPECT_EQ(RunProgram({zeltview, "--scale", "0", path}).status, 2);
}

}  // namespace
}  // namespace zelt_test
