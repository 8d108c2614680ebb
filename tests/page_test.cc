// A page as the printer sees it, run in the test process: the page-start
// commands and their conditions, the plane passes of every copy, and blank
// lines and rows turned into skips.
#include <gtest/gtest.h>

#include "page/page_start.h"
#include "tests/support/job.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tools/stream_decoder.h"

namespace zelt_test {
namespace {

using zelt::stream::DecodedJob;

// What StartPage sends for the header (nothing but the page's start: the
// page-start commands and plane 0's sequence).
std::string StartBytes(const cups_page_header2_t& h, int model, const std::string& spool) {
  MemorySink sink;
  RecordingLog log;
  Job job{.model_number = model, .sink = sink, .log = log, .spool_directory = spool};
  Page page;
  EXPECT_TRUE(StartPage(job, h, page).ok());
  return {sink.bytes.begin(), sink.bytes.end()};
}

TEST(Page, StartCommandsOnlyForValuesThePrinterKnows) {
  TempDir spool;
  struct Case {
    const char* name;
    unsigned dpi, length, position, media, height;
    cups_cspace_t space;
    int model;
    const char* expected;  // page commands, then (for the first) plane 0's sequence
  };
  // clang-format off
  const Case cases[] = {
      {"worked example", 600, 792, 0, 2, 299, CUPS_CSPACE_CMYK, 2,
       "1B 2A 74 03 52  1B 26 6C 02 00 41  1B 26 6C 02 00 4D  1B 1A 00 00 55  1B 26 6C 2C 01 50"
       "  1B 1A 01 00 4F 1B 2A 72 04 55 1B 2A 72 00 41 1B 2A 62 00 00 4D 1B 1A 01 00 72"},
      {"model 1: no U command", 600, 792, 0, 2, 299, CUPS_CSPACE_CMYK, 1,
       "1B 2A 74 03 52  1B 26 6C 02 00 41  1B 26 6C 02 00 4D  1B 26 6C 2C 01 50"},
      {"360 dpi, 791 pt", 360, 791, 0, 0, 10, CUPS_CSPACE_CMYK, 2,
       "1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"300 dpi, A4", 300, 842, 0, 0, 10, CUPS_CSPACE_CMYK, 2,
       "1B 2A 74 02 52  1B 26 6C 04 00 41  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"1200 dpi, Legal", 1200, 1008, 0, 0, 10, CUPS_CSPACE_CMYK, 2,
       "1B 2A 74 04 52  1B 26 6C 03 00 41  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"card, tray 256", 1, 257, 256, 0, 10, CUPS_CSPACE_CMYK, 2,
       "1B 26 6C 05 00 41  1B 26 6C 00 00 48  1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"4x6, tray 1, media 258", 1, 432, 1, 258, 10, CUPS_CSPACE_CMYK, 2,
       "1B 26 6C 06 00 41  1B 26 6C 01 00 48  1B 26 6C 02 01 4D  1B 1A 00 00 55  1B 26 6C 0B 00 50"},
      {"255 lines", 1, 1, 0, 0, 255, CUPS_CSPACE_CMYK, 2,
       "1B 26 6C 00 00 4D  1B 1A 00 00 55  1B 26 6C 00 01 50"},
      {"variable dot: no U command", 1, 1, 0, 0, 10, CUPS_CSPACE_CMY, 2,
       "1B 26 6C 00 00 4D  1B 26 6C 0B 00 50  1B 2A 72 08 55"},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto h = MakeHeader(10, c.height, c.space, 600);
    h.HWResolution[0] = c.dpi;
    h.PageSize[1] = c.length;
    h.MediaPosition = c.position;
    h.cupsMediaType = c.media;
    h.cupsCompression = c.space != CUPS_CSPACE_CMY;
    const std::string expected = Hex(c.expected);
    EXPECT_EQ(StartBytes(h, c.model, spool.path()).substr(0, expected.size()), expected) << c.name;
  }
}

DecodedJob PrintAndDecode(const cups_page_header2_t& h, const LineFill& fill,
                          std::string* out = nullptr) {
  TempDir tmp;
  const auto run = PrintInProcess(WritePage(tmp.File("in.ras"), h, fill), tmp.path());
  EXPECT_EQ(run->exit_status, 0);
  EXPECT_TRUE(tmp.Entries() == std::vector<std::string>{"in.ras"}) << "spool files left behind";
  if (out) *out = run->Out();
  const DecodedJob job = zelt::stream::DecodeStream(run->sink.bytes);
  EXPECT_TRUE(job.ok) << "offset " << job.error.offset << ": " << job.error.message;
  return job;
}

TEST(Page, CopiesReplayOnlyThePlanesUpToTheLastWithData) {
  for (unsigned copies : {1u, 2u}) {
    auto h = MakeHeader(128, 40, CUPS_CSPACE_CMYK);
    h.NumCopies = copies;
    std::string out;
    const DecodedJob job = PrintAndDecode(
        h,
        [](unsigned, std::span<std::uint8_t> line) {
          std::fill_n(line.begin(), 128, 200);  // planes 0 and 1 only
          std::fill_n(line.begin() + 128, 128, 90);
        },
        &out);
    ASSERT_EQ(job.pages.at(0).copies.size(), copies);
    for (const auto& copy : job.pages[0].copies) {
      ASSERT_EQ(copy.passes.size(), 2u) << "planes 2 and 3 hold no data";
      EXPECT_EQ(copy.passes[0].stats.rows, 40);
      EXPECT_EQ(copy.passes[1].stats.digest, job.pages[0].copies[0].passes[1].stats.digest);
    }
    // Byte for byte: plane 1's pass end and colour select (code 2, flag 1)
    // once per copy, the page end closing each copy, and a second copy that
    // opens with plane 0's whole sequence again (flag 0).
    auto count = [&](const std::string& bytes) {
      std::size_t n = 0;
      for (std::size_t at = out.find(bytes); at != std::string::npos; at = out.find(bytes, at + 1))
        ++n;
      return n;
    };
    EXPECT_EQ(count(Hex("1B 1A 00 00 0C 1B 1A 02 01 72")), copies);
    EXPECT_EQ(count(Hex("0C 1B 2A 72 43")), copies);
    EXPECT_EQ(count(Hex("0C 1B 2A 72 43 1B 1A 01 00 4F 1B 2A 72 04 55 1B 2A 72 00 41"
                        " 1B 2A 62 00 00 4D 1B 1A 01 00 72")),
              copies - 1);
  }
}

TEST(Page, BlankLinesAndBlankRowsBecomeSkips) {
  // Lines 0-2 blank, line 3 inks plane 0 only, line 4 plane 1 too.
  const DecodedJob job = PrintAndDecode(MakeHeader(64, 6, CUPS_CSPACE_CMYK),
                                        [](unsigned y, std::span<std::uint8_t> line) {
                                          if (y >= 3)
                                            std::fill(line.begin(), line.begin() + 64, 255);
                                          if (y >= 4)
                                            std::fill(line.begin() + 64, line.begin() + 128, 255);
                                        });
  const auto *plane0 = job.pages.at(0).Pass(0, 0), *plane1 = job.pages[0].Pass(0, 1);
  ASSERT_TRUE(plane0 && plane1);
  EXPECT_EQ(plane0->skips.size(), 1u);
  EXPECT_EQ(plane0->rows.front().line, 3);
  ASSERT_EQ(plane1->skips.size(), 1u);
  EXPECT_EQ(plane1->skips[0].count, 4);
  // The row carries the whole dot row; nothing after the last row is sent.
  EXPECT_EQ(plane1->rows.front().data.size(), 8u);
  EXPECT_EQ(job.pages[0].Pass(0, 2), nullptr);

  // More blank rows than one skip command can count take several.
  const DecodedJob tall = PrintAndDecode(MakeHeader(8, 70001, CUPS_CSPACE_K),
                                         [](unsigned y, std::span<std::uint8_t> line) {
                                           if (y == 70000) std::fill(line.begin(), line.end(), 255);
                                         });
  const auto* only = tall.pages.at(0).Pass(0, 0);
  ASSERT_TRUE(only);
  ASSERT_EQ(only->skips.size(), 2u);
  EXPECT_EQ(only->skips[0].count, 65535);
  EXPECT_EQ(only->skips[1].count, 70000 - 65535);
  EXPECT_EQ(only->rows.front().line, 70000);
}

}  // namespace
}  // namespace zelt_test
