// Golden digests: one raster per colour mode and variant through the built
// filter, the SHA-256 of the printer stream and of the status lines pinned.
// Any change to a printed byte or a status line shows here; a deliberate one
// updates its digest (the failure message prints the new value).
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "tests/support/process.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

std::string Sha256(const std::string& bytes) {
  unsigned char hash[32];
  char text[65];
  cupsHashData("sha2-256", bytes.data(), bytes.size(), hash, sizeof hash);
  return cupsHashString(hash, sizeof hash, text, sizeof text);
}

// A page with something of everything: ramps and noise in every band, whole
// blank lines (skips for every plane), a band left empty in turn (blank dot
// rows of one plane), full-ink stretches (black generation, cells at 255).
LineFill Scene(unsigned width, unsigned bands) {
  return [width, bands](unsigned y, std::span<std::uint8_t> line) {
    if (y % 9 == 4 || y < 3) return;
    std::mt19937 rng(y * 2654435761u);
    for (unsigned b = 0; b < bands; ++b) {
      if ((y / 16) % (bands + 1) == b) continue;
      for (unsigned x = 0; x < width && b * width + x < line.size(); ++x) {
        const unsigned ramp = x * 255 / width + y * 3 + b * 60 + (rng() & 31);
        line[b * width + x] = static_cast<std::uint8_t>((y / 8) % 5 == 1 ? 255 : ramp % 256);
      }
    }
  };
}

struct GoldenCase {
  const char* name;
  cups_cspace_t space;
  unsigned compression, dpi, width, height, copies, media_type;
  const char* output_type;
  const char* ppd;
  const char* stream;  // SHA-256 of standard output
  const char* status;  // SHA-256 of standard error, spool names normalised
};

// clang-format off
const GoldenCase kCases[] = {
    {"Cmyk600", CUPS_CSPACE_CMYK, 1, 600, 333, 150, 1, 0, "", "zeltpro.ppd", "4097ecc23f150f2ab9715b572ac412893e43818c90114670fad20dba3881260a", "7248c5eda0e7776966968a8aad489014176b8d05a961240d5f49e56246e70d21"},
    {"Cmyk300TwoCopiesBasic", CUPS_CSPACE_CMYK, 1, 300, 200, 120, 2, 2, "Glossy", "zeltbas.ppd", "9135149b02d1a93d633352fcdd0578a35ec72095adc2bb014231ae4fc1a1200a", "8eeca9a970203f9291c88bc94c107b69afb3b0d09fa9c734a2233db33eacb91d"},
    {"Cmyk1200", CUPS_CSPACE_KCMY, 1, 1200, 301, 140, 1, 0, "", "zeltpro.ppd", "42c58ee24088c3f89d3531556122b4f4ad700fd5b057a38baf45411c795fba52", "1868a4425f8aacd75b940846a54ca7ed8a69f89a50ec3419a368eb11195ee7c8"},
    {"Rgb450", CUPS_CSPACE_RGB, 1, 450, 250, 100, 1, 0, "", "zeltpro.ppd", "4920a2079d59e8229517d82eeeda35960f0e1700aac355040c6dc8df1dc61034", "6eb58e54a3992093fb5b3539ce8845652d69904fa4b82e32babf96e123506213"},
    {"Black600", CUPS_CSPACE_K, 1, 600, 333, 150, 3, 0, "", "zeltpro.ppd", "61fc63fc67a10ecb2175bd4fa30b6b3b2e1330ba364ce572a9867355f5bd3178", "0e9c4f5b163c5daf20998190684c0c1daad4d62a2f6613a67570d68f19e081fc"},
    {"GoldBlack1200", CUPS_CSPACE_GMCK, 1, 1200, 290, 140, 1, 0, "Glossy", "zeltpro.ppd", "20ebe20a5cfc3f8b2dadf9226b2902a77b7ed1e248d771b04efa2d8954f35ef9", "bf3adbf1642df805e1b89f6a75ac9fd5a934b7dd7b6182a3fd6047bf7eb57c49"},
    {"GoldSilver300", CUPS_CSPACE_GMCS, 1, 300, 290, 140, 2, 0, "", "zeltpro.ppd", "e0e29924aa15c9a33490fa255f8719f49c05502e5de1705902b90c82f263f671", "6713e733de687cf068722c3ac0de04c0f32ebbf89f3cac20ff8425f7e386c172"},
    {"Photo600", CUPS_CSPACE_YMC, 1, 600, 333, 150, 1, 0, "", "zeltpro.ppd", "56c8c224733e79f0e1172de6c64411020d52ede626af22ec0c6d1491f3abe992", "894c408ee237fb38a4e040053a9010c6463df54c450618943cd90efd27d3a172"},
    {"PhotoTwoCopies", CUPS_CSPACE_YMC, 1, 300, 171, 90, 2, 0, "", "zeltpro.ppd", "14cc5db08688836cabfee0f34bd7bc5530727d016be617e366b5b82ce5d671dc", "625058118fe7280f1cf03c8b9b0ada8e1cc39d0ef184d45d309f27bf1eb6a629"},
    {"White600", CUPS_CSPACE_WHITE, 1, 600, 333, 150, 2, 0, "", "zeltpro.ppd", "25c66005b34b2318035f56332e4d27bf67a9226fe0df2eef15e13d327f66a85c", "357dfd063e207763ea776fa61d76274657af26fe5b6d527a8bb99ddeefdd506a"},
    {"VDotColorStandard", CUPS_CSPACE_CMY, 0, 600, 333, 150, 1, 0, "Glossy", "zeltpro.ppd", "95f6b4218315367004a4ae351c9419ca7574458c1c8e166ad9853228ee885e3d", "e5617002862d66e7a7f676313126424fc993439a65dc5aeb2e2dbe968a19fa6b"},
    {"VDotColorType16", CUPS_CSPACE_CMY, 0, 600, 333, 150, 2, 16, "", "zeltpro.ppd", "a4795c613e15b3039e8bf0ed601e5ccb219670bb55fbc33a80693283d50a3cfa", "1678dd03bbb50d2666bffbc4842d67fed3e0097598c2c626b1ae5a40cabe3da9"},
    {"VDotGrayStandard", CUPS_CSPACE_K, 0, 600, 333, 150, 1, 0, "Glossy", "zeltpro.ppd", "8ecd7b08b9be9ea9c3f589d263d9ccf5dddb37e28818820a6ea9d2cf4491f115", "d781687914fa45804aa7783d61c40cf25ca639db709c8e0975e08e5612943d6c"},
    {"VDotGrayType17", CUPS_CSPACE_K, 0, 300, 333, 150, 2, 17, "", "zeltpro.ppd", "6ca6408eec99f1789968943bf6d665333d559d0a35df85025882bfab304f1b1d", "611ee722c938734eb0a17f3f7aa14457e014ef0353ec63368d422f05a6d0ef76"},
};
// clang-format on

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, StreamAndStatusLinesUnchanged) {
  const GoldenCase& c = GetParam();
  TempDir tmp;
  auto h = MakeHeader(c.width, c.height, c.space, c.dpi);
  h.cupsCompression = c.compression;
  h.NumCopies = c.copies;
  h.cupsMediaType = c.media_type;
  h.PageSize[0] = 288;
  h.PageSize[1] = 432;
  h.Margins[0] = h.Margins[1] = 9;
  h.ImagingBoundingBox[0] = 18;
  h.ImagingBoundingBox[1] = 27;
  h.ImagingBoundingBox[2] = 270;
  h.ImagingBoundingBox[3] = 400;
  std::snprintf(h.OutputType, sizeof h.OutputType, "%s", c.output_type);
  const std::string raster = tmp.File("in.ras");
  {
    RasterWriter w(raster);
    w.AddPage(h, Scene(c.width, BandsOf(c.space)));
    h.cupsHeight = 40;  // a second, shorter page
    w.AddPage(h, Random(7));
  }
  RunOptions o;
  o.args = JobArgs(raster, std::to_string(c.copies));
  o.env = {{"PPD", PpdPath(c.ppd)}, {"TMPDIR", tmp.path()}};
  const RunResult r = RunFilter(o);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string status =
      std::regex_replace(r.err, std::regex(tmp.path() + "/kvo[0-9]+"), "TMP/kvoPID");
  const std::string stream = Sha256(r.out), lines = Sha256(status);
  EXPECT_TRUE(stream == c.stream && lines == c.status)
      << "now: {\"" << c.name << "\", ..., \"" << stream << "\", \"" << lines << "\"}";
}

INSTANTIATE_TEST_SUITE_P(Modes, GoldenTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace zelt_test
