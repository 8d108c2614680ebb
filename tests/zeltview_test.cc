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
  Printed p{tmp.File("in.ras"), {}};
  {
    RasterWriter w(p.raster);
    w.AddPage(MakeHeader(width, static_cast<unsigned>(lines.size()), space, dpi),
              [&](unsigned y, std::span<std::uint8_t> line) {
                std::copy(lines[y].begin(), lines[y].end(), line.begin());
              });
  }
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

  // White ink shows light on a dark ground.
  std::vector<std::uint8_t> half(8, 0);
  std::fill_n(half.begin(), 4, 255);
  const Printed white = PrintLines(tmp, CUPS_CSPACE_WHITE, 300, {half});
  zelt::view::PreviewBuilder on_dark(prefix, 1);
  ASSERT_TRUE(DecodeBytes(white.stream, on_dark, {}, &error)) << error.message;
  const PngImage dark = Read(prefix + "-page1.png", 3);
  EXPECT_EQ(dark.pixels[0], 255);
  EXPECT_LT(dark.pixels[3 * 7], 64);
}

TEST(ToneCheck, InputBandsAgainstPrintedCoverage) {
  TempDir tmp;
  const Printed photo = PrintLines(tmp, CUPS_CSPACE_YMC, 600, PhotoLines());
  std::vector<zelt::view::RasterPage> pages;
  std::string error;
  ASSERT_TRUE(zelt::view::ReadRasterPages(photo.raster, &pages, &error)) << error;
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].color_mode, Index(ColorMode::kPhoto));
  DecodeOptions options;
  options.pages = {zelt::view::HintFor(pages[0])};
  const DecodedJob job = DecodeStream(photo.stream, options);
  ASSERT_TRUE(job.ok) << job.error.message;
  const auto tone = zelt::view::CompareTone(pages[0], job.pages[0]);
  ASSERT_EQ(tone.size(), 3u);
  EXPECT_NEAR(tone[1].input, (4 * 136 + 6 * 255) / (255.0 * 24), 1e-9);
  EXPECT_NEAR(tone[1].printed, tone[1].input, 1e-9);

  // Black generation: the black band is the least of the three colours, and
  // a full black pixel leaves its colours empty.
  const Printed vdot = PrintLines(tmp, CUPS_CSPACE_CMY, 600, {{255, 200, 255, 120, 255, 90}});
  pages.clear();
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
  auto write = [&](const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  };
  write(photo.stream);
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
  write(photo.stream);
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
