// The sample document through CUPS's own filter chain (cupsfilter: pdftopdf,
// ghostscript's raster device, rastertozelt) with the project's PPDs, read
// back with the stream decoder: each PPD choice must reach the printer as the
// colour mode, page size, resolution, media and finish it promises.  The
// sample prints on the 4 x 6 in and card sizes at 300 dpi wherever the point
// is the stream's structure, so every case takes about a second.
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

// Prints the sample with cupsfilter and decodes the stream.  Every spool file
// the filter reported must be gone afterwards.
class CupsFilterTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeServerBin(dir_.File("serverbin"), ZELT_FILTER_PATH); }

  DecodedJob Print(const FilterJob& job) {
    const std::string out = dir_.File("job.prn");
    const ToolResult r = RunCupsfilter(dir_.File("serverbin"), job, out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("\nERROR: "), std::string::npos) << r.err;
    static const std::regex kSpool(R"(INFO: PrinterFiles\[\d\] = \d+ \((.*)\))");
    for (std::sregex_iterator m(r.err.begin(), r.err.end(), kSpool), end; m != end; ++m)
      EXPECT_FALSE(std::filesystem::exists((*m)[1].str())) << "left behind: " << (*m)[1];
    pages_ = 0;
    for (std::size_t at = 0; (at = r.err.find("\nPAGE: ", at)) != std::string::npos; ++at) ++pages_;
    const DecodedJob decoded = DecodeFile(out);
    EXPECT_TRUE(decoded.ok) << "offset " << decoded.error.offset << ": " << decoded.error.message;
    return decoded;
  }

  TempDir dir_;
  int pages_ = 0;  // PAGE: lines on standard error
};

// --- Every colour model, one and two copies, plain and glossy ---------------

struct ColorModelCase {
  const char* choice;  // ColorModel in the PPD
  int mode;            // colour mode the printer gets
  int planes;
};

constexpr ColorModelCase kColorModels[] = {
    {"CMYK", 0, 4},  {"Gray", 0, 1},  {"GoldBlack", 1, 4}, {"GoldSilver", 2, 4},
    {"Photo", 3, 3}, {"White", 4, 1}, {"VDotColor", 5, 4}, {"VDotGray", 5, 1},
};

// Names in CTest's test list.
void PrintTo(const ColorModelCase& c, std::ostream* os) { *os << c.choice; }

using ColorModelParam = std::tuple<ColorModelCase, int, bool>;  // model, copies, glossy

class CupsColorModelTest : public CupsFilterTest,
                           public ::testing::WithParamInterface<ColorModelParam> {};

TEST_P(CupsColorModelTest, PrintsTheSampleInTheChosenMode) {
  const auto& [model, copies, glossy] = GetParam();
  const DecodedJob job = Print({PpdPath("zeltpro.ppd"),
                                kSample,
                                {{"ColorModel", model.choice},
                                 {"PageSize", kCard},
                                 {"Resolution", "300dpi"},
                                 {"OutputType", glossy ? "Glossy" : "Standard"}},
                                copies});
  EXPECT_EQ(pages_, kSamplePages);
  ASSERT_EQ(job.pages.size(), static_cast<std::size_t>(kSamplePages));
  for (const auto& page : job.pages) {
    SCOPED_TRACE("page " + std::to_string(page.info.index + 1));
    const auto& info = page.info;
    EXPECT_EQ(info.ColorMode(), model.mode);
    EXPECT_EQ(info.planes, model.planes);
    EXPECT_EQ(info.glossy, glossy);
    EXPECT_EQ(info.setup.page_size_code, 5);
    EXPECT_EQ(info.setup.resolution_code, 2);
    EXPECT_EQ(info.setup.u_command, model.mode != 5) << "model 2 sends U except in mode 5";
    EXPECT_FALSE(info.unclosed_copy);
    ASSERT_EQ(page.copies.size(), static_cast<std::size_t>(copies));
    for (int c = 0; c < copies; ++c) {
      const auto& copy = page.copies[c];
      EXPECT_TRUE(copy.closed);
      EXPECT_EQ(copy.gloss_pass, glossy && model.mode == 5);
      // The sample inks every plane of every mode on both pages, so every
      // plane has a pass with rows, the same in each copy.
      for (int p = 0; p < model.planes; ++p) {
        const auto* pass = page.Pass(c, p);
        ASSERT_NE(pass, nullptr) << "copy " << c << " plane " << p;
        EXPECT_GT(pass->stats.rows, 0) << "copy " << c << " plane " << p;
        EXPECT_EQ(pass->stats.digest, page.Pass(0, p)->stats.digest)
            << "copy " << c << " replays plane " << p << " differently";
      }
    }
  }
}

std::string ColorModelName(const ::testing::TestParamInfo<ColorModelParam>& info) {
  const auto& [model, copies, glossy] = info.param;
  return std::string(model.choice) +
         (copies == 1 ? "_1copy" : "_" + std::to_string(copies) + "copies") +
         (glossy ? "_glossy" : "");
}

INSTANTIATE_TEST_SUITE_P(AllChoices, CupsColorModelTest,
                         ::testing::Combine(::testing::ValuesIn(kColorModels),
                                            ::testing::Values(1, 2), ::testing::Bool()),
                         ColorModelName);

// --- Page sizes, resolutions, media types, models -----------------------------

struct SettingCase {
  const char* name;
  const char* ppd;
  std::vector<std::pair<std::string, std::string>> options;
  int page_size_code;  // -1: none sent
  int resolution_code;
  int media_type;
  bool u_command;
  int media_u;                 // variable-dot media U code, -1 otherwise
  double length_pt, width_pt;  // the page, for the raster's size
  int dpi;
  int mode;  // colour mode
  int planes;
};

// clang-format off
const SettingCase kSettings[] = {
    {"Letter", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", "Letter"}, {"Resolution", "300dpi"}}, 2, 2, 0, true, -1, 792, 612, 300, 0, 1},
    {"A4", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", "A4"}, {"Resolution", "300dpi"}}, 4, 2, 0, true, -1, 842, 595, 300, 0, 1},
    {"Legal", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", "Legal"}, {"Resolution", "300dpi"}}, 3, 2, 0, true, -1, 1008, 612, 300, 0, 1},
    {"FourBySix", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", "4x6"}, {"Resolution", "300dpi"}}, 6, 2, 0, true, -1, 432, 288, 300, 0, 1},
    {"Card600dpi", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", kCard}, {"Resolution", "600dpi"}}, 5, 3, 0, true, -1, 257, 156, 600, 0, 1},
    {"Card1200dpi", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"PageSize", kCard}, {"Resolution", "1200dpi"}}, 5, 4, 0, true, -1, 257, 156, 1200, 0, 1},
    // The PPD's defaults: Letter, 600 dpi, CMYK, standard media.
    {"Defaults", "zeltpro.ppd", {}, 2, 3, 0, true, -1, 792, 612, 600, 0, 4},
    {"BasicModelSendsNoU", "zeltbas.ppd", {{"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 0, false, -1, 257, 156, 300, 0, 4},
    // CUPS maps a monochrome request to the ColorModel named Gray.
    {"MonochromeRequest", "zeltpro.ppd", {{"print-color-mode", "monochrome"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 0, true, -1, 257, 156, 300, 0, 1},
    // Media types 16 and 17 select the alternate variable-dot framing.
    {"VDotColorStandardMedia", "zeltpro.ppd", {{"ColorModel", "VDotColor"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 0, false, 0x91, 257, 156, 300, 5, 4},
    {"VDotColorType16", "zeltpro.ppd", {{"ColorModel", "VDotColor"}, {"MediaType", "Type16"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 16, false, 0x11, 257, 156, 300, 5, 4},
    {"VDotGrayType17", "zeltpro.ppd", {{"ColorModel", "VDotGray"}, {"MediaType", "Type17"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 17, false, 0x12, 257, 156, 300, 5, 1},
    {"GrayType16", "zeltpro.ppd", {{"ColorModel", "Gray"}, {"MediaType", "Type16"}, {"PageSize", kCard}, {"Resolution", "300dpi"}}, 5, 2, 16, true, -1, 257, 156, 300, 0, 1},
};
// clang-format on

void PrintTo(const SettingCase& c, std::ostream* os) { *os << c.name; }

class CupsSettingTest : public CupsFilterTest, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(CupsSettingTest, ReachesThePrinter) {
  const SettingCase& c = GetParam();
  const DecodedJob job = Print({PpdPath(c.ppd), kSample, c.options, 1});
  ASSERT_EQ(job.pages.size(), static_cast<std::size_t>(kSamplePages));
  // The raster covers the page inside the 9 pt hardware margins.
  const auto pixels = [&](double pt) {
    return static_cast<int>(std::lround((pt - 18) * c.dpi / 72));
  };
  for (const auto& page : job.pages) {
    const auto& info = page.info;
    EXPECT_EQ(info.setup.page_size_code.value_or(-1), c.page_size_code);
    EXPECT_EQ(info.setup.resolution_code.value_or(-1), c.resolution_code);
    EXPECT_EQ(info.setup.media_type, c.media_type);
    EXPECT_EQ(info.setup.u_command, c.u_command);
    EXPECT_EQ(info.preamble.media_u, c.media_u);
    EXPECT_EQ(info.preamble.pre_pass_box.has_value(), c.media_u == 0x91);
    EXPECT_EQ(info.ColorMode(), c.mode);
    EXPECT_EQ(info.planes, c.planes);
    EXPECT_NEAR(info.Height(), pixels(c.length_pt), 1);
    // Rows are whole bytes: up to 7 (1-bit) or 1 (4-bit) pixels of padding.
    EXPECT_GE(info.Width(), pixels(c.width_pt) - 1);
    EXPECT_LE(info.Width(), pixels(c.width_pt) + 8);
  }
}

std::string SettingName(const ::testing::TestParamInfo<SettingCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Choices, CupsSettingTest, ::testing::ValuesIn(kSettings), SettingName);

}  // namespace
}  // namespace zelt_test
