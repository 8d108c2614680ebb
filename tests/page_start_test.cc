// Page start as the printer sees it: the page commands and their conditions,
// and the spool files as the file system sees them.
#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

const std::string kJobStart = Hex("1B 65 1B 65 1B 65 1B 25 80 41 1B 1A 00 00 41");

class PageStartTest : public ::testing::Test {
 protected:
  RunResult Print(const cups_page_header2_t& h, const std::string& ppd = "zeltpro.ppd",
                  const LineFill& fill = Flat(0)) {
    const std::string path = tmp_.File("in.ras");
    {
      RasterWriter w(path);
      w.AddPage(h, fill);
    }
    RunOptions o;
    o.args = JobArgs(path);
    o.env = {{"PPD", PpdPath(ppd)}, {"TMPDIR", spool_.path()}};
    return RunFilter(o);
  }
  // The page commands: what follows the job start, up to plane 0's sequence.
  static std::string PageCommands(const RunResult& r, std::size_t length) {
    return r.out.substr(kJobStart.size(), length);
  }
  TempDir tmp_, spool_;
};

TEST_F(PageStartTest, WorkedExample) {
  auto h = MakeHeader(100, 299, CUPS_CSPACE_CMYK, 600);
  h.cupsMediaType = 2;
  const std::string commands = Hex(
      "1B 2A 74 03 52  1B 26 6C 02 00 41  1B 26 6C 02 00 4D  1B 1A 00 00 55  1B 26 6C 2C 01 50");
  const std::string plane0 =
      Hex("1B 1A 01 00 4F 1B 2A 72 04 55 1B 2A 72 00 41 1B 2A 62 00 00 4D 1B 1A 01 00 72");
  RunResult r = Print(h);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PageCommands(r, commands.size() + plane0.size()), commands + plane0);

  // A model numbered 1 never gets the U command.
  r = Print(h, "zeltbas.ppd");
  EXPECT_EQ(PageCommands(r, commands.size() - 5),
            Hex("1B 2A 74 03 52  1B 26 6C 02 00 41  1B 26 6C 02 00 4D  1B 26 6C 2C 01 50"));
}

TEST_F(PageStartTest, CommandsOnlyForValuesThePrinterKnows) {
  struct Case {
    const char* name;
    unsigned dpi, length, position, media, height;
    cups_cspace_t space;
    const char* expected;  // page commands before plane 0's sequence
  };
  // clang-format off
  const Case cases[] = {
      {"360 dpi, 791 pt", 360, 791, 0, 0, 10, CUPS_CSPACE_CMYK,
       "1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"300 dpi, A4", 300, 842, 0, 0, 10, CUPS_CSPACE_CMYK,
       "1B 2A 74 02 52  1B 26 6C 04 00 41  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"1200 dpi, Legal", 1200, 1008, 0, 0, 10, CUPS_CSPACE_CMYK,
       "1B 2A 74 04 52  1B 26 6C 03 00 41  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"card, tray 256", 1, 257, 256, 0, 10, CUPS_CSPACE_CMYK,
       "1B 26 6C 05 00 41  1B 26 6C 00 00 48  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"4x6, tray 1, media 258", 1, 432, 1, 258, 10, CUPS_CSPACE_CMYK,
       "1B 26 6C 06 00 41  1B 26 6C 01 00 48  1B 26 6C 02 01 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"255 lines", 1, 1, 0, 0, 255, CUPS_CSPACE_CMYK,
       "1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 00 01 50"},
      {"variable dot: no U command", 1, 1, 0, 0, 10, CUPS_CSPACE_CMY,
       "1B 26 6C 00 00 4D  1B 26 6C 0B 00 50"},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto h = MakeHeader(10, c.height, c.space, 600);
    h.HWResolution[0] = c.dpi;
    h.PageSize[1] = c.length;
    h.MediaPosition = c.position;
    h.cupsMediaType = c.media;
    if (c.space == CUPS_CSPACE_CMY) h.cupsCompression = 0;
    const RunResult r = Print(h);
    ASSERT_EQ(r.status, 0) << c.name << r.err;
    const std::string expected = Hex(c.expected);
    EXPECT_EQ(PageCommands(r, expected.size()), expected) << c.name;
    // What follows is plane 0's sequence, which always starts with ESC * r
    // 08 U (variable dot) or an O command.
    const std::string next = r.out.substr(kJobStart.size() + expected.size(), 3);
    EXPECT_TRUE(next == Hex("1B 1A 01") || next == Hex("1B 2A 72")) << c.name;
  }
}

TEST_F(PageStartTest, SpoolFilesPerPlaneAndCopiesAreMadeAndRemoved) {
  struct Case {
    cups_cspace_t space;
    unsigned copies;
    std::string letters;  // the endings of the spool files, in plane order
    int first_plane;
  };
  const Case cases[] = {
      {CUPS_CSPACE_CMYK, 1, "MYK", 1},  {CUPS_CSPACE_CMYK, 2, "CMYK", 0},
      {CUPS_CSPACE_YMC, 1, "MC", 1},    {CUPS_CSPACE_YMC, 3, "YMC", 0},
      {CUPS_CSPACE_K, 1, "", 1},        {CUPS_CSPACE_K, 2, "K", 0},
      {CUPS_CSPACE_CMYK, 0, "CMYK", 0},
  };
  for (const auto& c : cases) {
    auto h = MakeHeader(16, 4, c.space);
    h.NumCopies = c.copies;
    const RunResult r = Print(h, "zeltpro.ppd", Random(1));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto info = r.LinesStartingWith("INFO: PrinterFiles[");
    ASSERT_EQ(info.size(), c.letters.size()) << c.space << "/" << c.copies;
    for (std::size_t i = 0; i < info.size(); ++i) {
      const std::string name = spool_.path() + "/kvo";
      EXPECT_EQ(
          info[i].rfind("INFO: PrinterFiles[" + std::to_string(c.first_plane + i) + "] = ", 0), 0u);
      EXPECT_NE(info[i].find("(" + name), std::string::npos) << info[i];
      EXPECT_EQ(info[i].substr(info[i].size() - 3), std::string(".") + c.letters[i] + ")")
          << info[i];
    }
    EXPECT_TRUE(spool_.Entries().empty()) << "spool files left behind";
  }
}

}  // namespace
}  // namespace zelt_test
