// The sample document through CUPS's own filter chain (cupsfilter: pdftopdf,
// ghostscript's raster device, rastertozelt) with the project's PPDs, read
// back with the stream decoder: each colour model, page size, resolution,
// media type and model reaches the printer as the PPD promises, printed twice
// and glossy.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "tests/support/cups_env.h"
#include "tests/support/process.h"

namespace zelt_test {
namespace {

using zelt::stream::DecodedJob;

const std::string kSample = std::string(ZELT_SOURCE_DIR) + "/samples/sample.pdf";
constexpr int kSamplePages = 2;
constexpr const char* kCard = "55.03x90.66mm";

struct Case {
  const char* name;
  const char* ppd;
  std::vector<std::pair<std::string, std::string>> options;
  int mode, planes;
  int page_size_code, resolution_code, media_type;
  bool u_command;
  int media_u;  // variable-dot media U code, -1 otherwise
  double width_pt, length_pt;
  int dpi;
};

// clang-format off
const Case kCases[] = {
    {"DefaultsCmykLetter600", "zeltpro.ppd", {}, 0, 4, 2, 3, 0, true, -1, 612, 792, 600},
    // CUPS maps a monochrome request to the colour model named Gray.
    {"MonochromeRequestA4", "zeltpro.ppd", {{"print-color-mode", "monochrome"}, {"PageSize", "A4"}, {"Resolution", "300dpi"}}, 0, 1, 4, 2, 0, true, -1, 595, 842, 300},
    {"GoldBlackLegal", "zeltpro.ppd", {{"ColorModel", "GoldBlack"}, {"PageSize", "Legal"}, {"Resolution", "300dpi"}}, 1, 4, 3, 2, 0, true, -1, 612, 1008, 300},
    {"GoldSilver4x6BasicModel", "zeltbas.ppd", {{"ColorModel", "GoldSilver"}, {"PageSize", "4x6"}, {"Resolution", "300dpi"}}, 2, 4, 6, 2, 0, false, -1, 288, 432, 300},
    {"PhotoCard1200", "zeltpro.ppd", {{"ColorModel", "Photo"}, {"PageSize", kCard}, {"Resolution", "1200dpi"}}, 3, 3, 5, 4, 0, true, -1, 156, 257, 1200},
    {"WhiteCard600", "zeltpro.ppd", {{"ColorModel", "White"}, {"PageSize", kCard}, {"Resolution", "600dpi"}}, 4, 1, 5, 3, 0, true, -1, 156, 257, 600},
    {"VDotColorStandardMedia", "zeltpro.ppd", {{"ColorModel", "VDotColor"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 4, 5, 2, 0, false, 0x91, 156, 257, 300},
    {"VDotGrayType17", "zeltpro.ppd", {{"ColorModel", "VDotGray"}, {"MediaType", "Type17"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 1, 5, 2, 17, false, 0x12, 156, 257, 300},
};
// clang-format on

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class CupsFilterTest : public ::testing::TestWithParam<Case> {};

TEST_P(CupsFilterTest, PrintsTheSampleAsThePpdPromises) {
  const Case& c = GetParam();
  TempDir dir;
  MakeServerBin(dir.File("serverbin"), ZELT_FILTER_PATH);
  auto options = c.options;
  options.emplace_back("OutputType", "Glossy");
  const std::string out = dir.File("job.prn");
  const RunResult r =
      RunCupsfilter(dir.File("serverbin"), {PpdPath(c.ppd), kSample, options, 2}, out);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("\nERROR: "), std::string::npos) << r.err;
  static const std::regex kSpool(R"(INFO: PrinterFiles\[\d\] = \d+ \((.*)\))");
  for (std::sregex_iterator m(r.err.begin(), r.err.end(), kSpool), end; m != end; ++m)
    EXPECT_FALSE(std::filesystem::exists((*m)[1].str())) << "left behind: " << (*m)[1];

  const DecodedJob job = DecodeFile(out);
  ASSERT_TRUE(job.ok) << "offset " << job.error.offset << ": " << job.error.message;
  ASSERT_EQ(job.pages.size(), static_cast<std::size_t>(kSamplePages));
  // The raster covers the page inside the 9 pt hardware margins.
  const auto pixels = [&](double pt) { return std::lround((pt - 18) * c.dpi / 72); };
  for (const auto& page : job.pages) {
    const auto& info = page.info;
    EXPECT_EQ(info.ColorMode(), c.mode);
    EXPECT_EQ(info.planes, c.planes);
    EXPECT_EQ(info.setup.page_size_code.value_or(-1), c.page_size_code);
    EXPECT_EQ(info.setup.resolution_code.value_or(-1), c.resolution_code);
    EXPECT_EQ(info.setup.media_type, c.media_type);
    EXPECT_EQ(info.setup.u_command, c.u_command);
    EXPECT_EQ(info.preamble.media_u, c.media_u);
    EXPECT_EQ(info.preamble.pre_pass_box.has_value(), c.media_u == 0x91);
    EXPECT_LE(std::abs(info.Height() - pixels(c.length_pt)), 1);
    // Rows are whole bytes: up to 7 (1-bit) or 1 (4-bit) pixels of padding.
    EXPECT_GE(info.Width(), pixels(c.width_pt) - 1);
    EXPECT_LE(info.Width(), pixels(c.width_pt) + 8);
    EXPECT_TRUE(info.glossy);
    ASSERT_EQ(page.copies.size(), 2u);
    for (int copy = 0; copy < 2; ++copy) {
      EXPECT_TRUE(page.copies[copy].closed);
      EXPECT_EQ(page.copies[copy].gloss_pass, c.mode == 5);
      // The sample inks every plane of every mode, the same in each copy.
      for (int p = 0; p < c.planes; ++p) {
        const auto* pass = page.Pass(copy, p);
        ASSERT_NE(pass, nullptr) << "copy " << copy << " plane " << p;
        EXPECT_GT(pass->stats.rows, 0);
        EXPECT_EQ(pass->stats.digest, page.Pass(0, p)->stats.digest);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Choices, CupsFilterTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace zelt_test
