// The job driver: arguments, job framing, the page loop's status lines, the
// colour-mode decision and the refusal of rasters the filter cannot print.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "output/row_commands.h"
#include "page/color_mode.h"
#include "tests/support/kernel_targets.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

const std::string kJobStart = Hex("1B 65 1B 65 1B 65 1B 25 80 41 1B 1A 00 00 41");
const std::string kJobEnd = Hex("1B 25 00 58");

class FilterTest : public ::testing::Test {
 protected:
  RunResult RunOn(const std::string& raster) { return RunFilterOn(raster, tmp_.path()); }
  std::string WriteRaster(const std::vector<cups_page_header2_t>& pages,
                          const LineFill& fill = Flat(0x80), long lines = -1) {
    const std::string path = tmp_.File("in.ras");
    RasterWriter w(path);
    for (const auto& h : pages) w.AddPage(h, fill, lines);
    return path;
  }
  TempDir tmp_;
};

// For every kernel target, lengths from below 1 (blank) to past several
// steps of four vectors: a non-zero byte first, in the middle or last makes
// the bytes non-blank, one just past the length does not.
TEST(CheckBytes, ZeroTest) {
  ForEachKernelTarget([] {
    for (int length = -3; length <= 600; ++length) {
      const std::size_t size = static_cast<std::size_t>(std::max(length, 0));
      std::vector<std::uint8_t> bytes(size + 1, 0);
      bytes[size] = 1;
      ASSERT_EQ(cupsCheckBytes(bytes.data(), length), 1) << "length " << length;
      bytes[size] = 0;
      for (const std::size_t at : {std::size_t{0}, size / 2, size - 1}) {
        if (size == 0) break;
        bytes[at] = 1;
        ASSERT_EQ(cupsCheckBytes(bytes.data(), length), 0) << "length " << length << " at " << at;
        bytes[at] = 0;
      }
    }
  });
}

// Wrong argument counts (one, four and seven after the program name), an
// input that cannot be opened, a missing or broken PPD: one error, exit
// status 1, nothing written to the printer.
TEST_F(FilterTest, RefusedBeforeTheFirstByte) {
  const std::string raster = WriteRaster({MakeHeader(16, 4, CUPS_CSPACE_K)});
  const std::string bogus = tmp_.File("bogus.ppd"),
                    usage = "ERROR: rastertozelt job-id user title copies options [file]\n";
  WriteFile(bogus, "not a PPD\n");
  struct Case {
    std::vector<std::string> args;
    const char* ppd;  // nullptr: PPD unset
    std::string err;  // the whole of standard error, or empty: any one "ERROR: " line
  };
  const Case cases[] = {
      {{"x"}, "", usage},
      {std::vector<std::string>(4, "x"), "", usage},
      {std::vector<std::string>(7, "x"), "", usage},
      {JobArgs(tmp_.File("missing.ras")), "",
       "ERROR: Unable to open raster file - : No such file or directory\n"},
      {JobArgs(raster), nullptr, ""},
      {JobArgs(raster), "/nonexistent/zelt.ppd", ""},
      {JobArgs(raster), bogus.c_str(), ""},
  };
  for (const auto& c : cases) {
    const RunResult r =
        RunFilter(c.ppd ? RunOptions{.args = c.args, .env = {{"PPD", *c.ppd ? c.ppd : PpdPath()}}}
                        : RunOptions{.args = c.args, .unset = {"PPD"}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "") << r.err;
    if (c.err.empty())
      EXPECT_EQ(r.LinesStartingWith("ERROR: ").size(), 1u) << r.err;
    else
      EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(FilterTest, InputWithoutPagesIsJustTheJobFraming) {
  const std::string empty = tmp_.File("empty.ras");
  { RasterWriter w(empty); }
  RunResult r = RunOn(empty);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kJobStart + kJobEnd);
  EXPECT_TRUE(r.HasLine("ERROR: No pages found!"));

  // The same from standard input (six arguments).
  RunOptions o;
  o.env = {{"PPD", PpdPath()}};
  o.stdin_path = empty;
  r = RunFilter(o);
  EXPECT_EQ(r.out, kJobStart + kJobEnd);
  EXPECT_EQ(r.status, 1);
}

TEST_F(FilterTest, ReadErrorEndsOnlyThePage) {
  // Page 1 announces 300 lines but the stream ends after 150.
  const RunResult r = RunOn(WriteRaster({MakeHeader(64, 300, CUPS_CSPACE_CMYK)}, Random(3), 150));
  EXPECT_EQ(r.status, 0);
  const auto errors = r.LinesStartingWith("ERROR: Error reading image data: ");
  ASSERT_EQ(errors.size(), 1u);
  const auto& lines = r.lines;
  EXPECT_LT(std::find(lines.begin(), lines.end(), errors[0]),
            std::find(lines.begin(), lines.end(), "INFO: Finished page 1..."));
  EXPECT_EQ(r.out.substr(r.out.size() - 9), Hex("0C 1B 2A 72 43") + kJobEnd);
}

TEST(ColorMode, ColourSpaceDecidesPlanesAndMode) {
  struct Case {
    cups_cspace_t space;
    unsigned compression;
    int planes, mode;
  };
  const Case cases[] = {
      {CUPS_CSPACE_K, 0, 1, 5},      {CUPS_CSPACE_K, 1, 1, 0},    {CUPS_CSPACE_K, 2, 1, 0},
      {CUPS_CSPACE_CMY, 1, 4, 5},    {CUPS_CSPACE_YMC, 1, 3, 3},  {CUPS_CSPACE_CMYK, 1, 4, 0},
      {CUPS_CSPACE_YMCK, 1, 4, 0},   {CUPS_CSPACE_KCMY, 1, 4, 0}, {CUPS_CSPACE_KCMYcm, 1, 4, 0},
      {CUPS_CSPACE_GMCK, 1, 4, 1},   {CUPS_CSPACE_GMCS, 1, 4, 2}, {CUPS_CSPACE_WHITE, 1, 1, 4},
      {CUPS_CSPACE_W, 1, 4, 0},      {CUPS_CSPACE_RGB, 1, 4, 0},  {CUPS_CSPACE_GOLD, 1, 4, 0},
      {CUPS_CSPACE_SILVER, 1, 4, 0},
  };
  for (const auto& c : cases) {
    const ModeDecision m = DecideColorMode(c.space, c.compression);
    EXPECT_EQ(m.planes, c.planes) << "space " << c.space << " compression " << c.compression;
    EXPECT_EQ(Index(m.mode), c.mode) << "space " << c.space << " compression " << c.compression;
  }
}

TEST_F(FilterTest, RasterTheFilterCannotReadEndsTheJobCleanly) {
  auto sixteen_bits = MakeHeader(16, 2, CUPS_CSPACE_K);
  sixteen_bits.cupsBitsPerColor = 16;
  sixteen_bits.cupsBitsPerPixel = 16;
  sixteen_bits.cupsBytesPerLine = 32;
  auto six_bands = MakeHeader(16, 2, CUPS_CSPACE_KCMYcm);
  six_bands.cupsBytesPerLine = 16 * 4 + 1;               // one byte more than four planes
  auto too_wide = MakeHeader(524281, 1, CUPS_CSPACE_K);  // a dot row of 65536 bytes
  for (const auto& h : {sixteen_bits, six_bands, too_wide}) {
    const RunResult r = RunOn(WriteRaster({MakeHeader(16, 2, CUPS_CSPACE_K), h}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LinesStartingWith(h.cupsWidth == 16 ? "ERROR: Unsupported raster data"
                                                    : "ERROR: Page too wide for the printer")
                  .size(),
              1u)
        << r.err;
    EXPECT_EQ(r.LinesStartingWith("PAGE: ").size(), 1u);  // page 1 printed
    EXPECT_EQ(r.out.substr(r.out.size() - 4), kJobEnd);
    EXPECT_TRUE(tmp_.Entries().size() == 1) << "spool files left behind";
  }
  // The widest row a row command can carry still prints.
  const RunResult widest = RunOn(WriteRaster({MakeHeader(524280, 1, CUPS_CSPACE_K)}));
  EXPECT_EQ(widest.status, 0) << widest.err;
}

}  // namespace
}  // namespace zelt_test
