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
    {"Cmyk600", CUPS_CSPACE_CMYK, 1, 600, 333, 150, 1, 0, "", "zeltpro.ppd", "4097ecc23f150f2ab9715b572ac412893e43818c90114670fad20dba3881260a", "32d8b26ba750b79a5596f20577387cbf066b4cd4df3b8ab1bbd80d46f7df7b1f"},
    {"CmykNoCopies", CUPS_CSPACE_CMYK, 1, 300, 100, 60, 0, 0, "", "zeltpro.ppd", "2da72a26ccae2bb34593e6de5924c4e558eb2fa061b5951523b404be5dab0e46", "e9825ce4bac07dee1f8f0a3464e3bff15cff60390e90d278d726223b9ea7217f"},
    {"Cmyk300TwoCopiesBasic", CUPS_CSPACE_CMYK, 1, 300, 200, 120, 2, 2, "Glossy", "zeltbas.ppd", "9135149b02d1a93d633352fcdd0578a35ec72095adc2bb014231ae4fc1a1200a", "f946d81ba34b761f4817cda6ba293beddef0cc784614947c483f472773024ce3"},
    {"Cmyk1200", CUPS_CSPACE_KCMY, 1, 1200, 301, 140, 1, 0, "", "zeltpro.ppd", "42c58ee24088c3f89d3531556122b4f4ad700fd5b057a38baf45411c795fba52", "a895b5f22e49417fa48f69f36e7d0b73940373e14412d234977cb875018fcbd2"},
    {"Rgb450", CUPS_CSPACE_RGB, 1, 450, 250, 100, 1, 0, "", "zeltpro.ppd", "4920a2079d59e8229517d82eeeda35960f0e1700aac355040c6dc8df1dc61034", "46efde533578f9f0c46b3e5673e5a92bbd34868cbdb3ca1102f0ae06e5704534"},
    {"Black600", CUPS_CSPACE_K, 1, 600, 333, 150, 3, 0, "", "zeltpro.ppd", "61fc63fc67a10ecb2175bd4fa30b6b3b2e1330ba364ce572a9867355f5bd3178", "9f2119f0a7811c5541b9ad1784587a0a34ce7ad35a8b74e18f2f1e916277d472"},
    {"GoldBlack1200", CUPS_CSPACE_GMCK, 1, 1200, 290, 140, 1, 0, "Glossy", "zeltpro.ppd", "20ebe20a5cfc3f8b2dadf9226b2902a77b7ed1e248d771b04efa2d8954f35ef9", "7ea0eeec55ec0fb19d57cf0c65774399a4c7ee500d7884b5d9eadf03e65bfc43"},
    {"GoldSilver300", CUPS_CSPACE_GMCS, 1, 300, 290, 140, 2, 0, "", "zeltpro.ppd", "e0e29924aa15c9a33490fa255f8719f49c05502e5de1705902b90c82f263f671", "86ec92702f90a8173467b088b5f3343ee9ea456d4bfa133969cff8cf4c02a8bc"},
    {"Photo600", CUPS_CSPACE_YMC, 1, 600, 333, 150, 1, 0, "", "zeltpro.ppd", "56c8c224733e79f0e1172de6c64411020d52ede626af22ec0c6d1491f3abe992", "cc1d948c715f0f9f7b6c105b69ee5e067432b107d6904fde4bba63aaded438e2"},
    {"PhotoTwoCopies", CUPS_CSPACE_YMC, 1, 300, 171, 90, 2, 0, "", "zeltpro.ppd", "14cc5db08688836cabfee0f34bd7bc5530727d016be617e366b5b82ce5d671dc", "f21ada1aee2e901ab1d00e4286569b10f6ed38928f2d41cb658aa448e96bd228"},
    {"White600", CUPS_CSPACE_WHITE, 1, 600, 333, 150, 2, 0, "", "zeltpro.ppd", "25c66005b34b2318035f56332e4d27bf67a9226fe0df2eef15e13d327f66a85c", "d2fc31a43224ab90d43c098d84e399308ce0ab2c30bde3f733f6b71efca49dfe"},
    {"VDotColorStandard", CUPS_CSPACE_CMY, 0, 600, 333, 150, 1, 0, "Glossy", "zeltpro.ppd", "95f6b4218315367004a4ae351c9419ca7574458c1c8e166ad9853228ee885e3d", "4f0110dbec48224b84ccd48c53a6df923bdb4dd437f0b80781812e91cd56faf0"},
    {"VDotColorType16", CUPS_CSPACE_CMY, 0, 600, 333, 150, 2, 16, "", "zeltpro.ppd", "a4795c613e15b3039e8bf0ed601e5ccb219670bb55fbc33a80693283d50a3cfa", "39b9fd00c6e09cd6ba95f93afe352fce625e04f734d790a6c88fa2a8bd7d9907"},
    {"VDotGrayStandard", CUPS_CSPACE_K, 0, 600, 333, 150, 1, 0, "Glossy", "zeltpro.ppd", "8ecd7b08b9be9ea9c3f589d263d9ccf5dddb37e28818820a6ea9d2cf4491f115", "d781687914fa45804aa7783d61c40cf25ca639db709c8e0975e08e5612943d6c"},
    {"VDotGrayType17", CUPS_CSPACE_K, 0, 300, 333, 150, 2, 17, "", "zeltpro.ppd", "6ca6408eec99f1789968943bf6d665333d559d0a35df85025882bfab304f1b1d", "0cf8492bd54ffcdde0caaf86bd2477aa990515eb249877556e8c8ca3623a56ca"},
};
// clang-format on

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

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
  const unsigned box[4] = {18, 27, 270, 400};
  std::copy(box, box + 4, h.ImagingBoundingBox);
  std::snprintf(h.OutputType, sizeof h.OutputType, "%s", c.output_type);
  const std::string raster = tmp.File("in.ras");
  {
    RasterWriter w(raster);
    w.AddPage(h, Scene(c.width, BandsOf(c.space)));
    h.cupsHeight = 40;  // a second, shorter page
    w.AddPage(h, Random(7));
  }
  const RunResult r = RunFilterOn(raster, tmp.path(), std::to_string(c.copies), c.ppd);
  ASSERT_EQ(r.status, 0) << r.err;
  // Spool names carry the directory and process id, and their descriptors
  // depend on what the filter inherited.
  const std::string status = std::regex_replace(
      r.err, std::regex(R"(\] = [0-9]+ \()" + tmp.path() + "/kvo[0-9]+"), "] = FD (TMP/kvoPID");
  const std::string stream = Sha256(r.out), lines = Sha256(status);
  EXPECT_TRUE(stream == c.stream && lines == c.status)
      << "now: {\"" << c.name << "\", ..., \"" << stream << "\", \"" << lines << "\"}";
}

INSTANTIATE_TEST_SUITE_P(Modes, GoldenTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace zelt_test
