// Whole pages through the filter, read back with the stream decoder: plane
// passes per copy and skip counts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tools/stream_decoder.h"

namespace zelt_test {
namespace {

using zelt::stream::DecodedJob;
using zelt::stream::DecodeStream;

class PrintPathTest : public ::testing::Test {
 protected:
  RunResult Print(const std::vector<cups_page_header2_t>& pages, const LineFill& fill) {
    const std::string path = tmp_.File("in.ras");
    {
      RasterWriter w(path);
      for (const auto& h : pages) w.AddPage(h, fill);
    }
    RunOptions o;
    o.args = JobArgs(path);
    o.env = {{"PPD", PpdPath()}, {"TMPDIR", spool_.path()}};
    RunResult r = RunFilter(o);
    EXPECT_TRUE(spool_.Entries().empty()) << "spool files left behind";
    return r;
  }
  static DecodedJob Decode(const RunResult& r) {
    const DecodedJob job =
        DecodeStream({reinterpret_cast<const std::uint8_t*>(r.out.data()), r.out.size()});
    EXPECT_TRUE(job.ok) << "offset " << job.error.offset << ": " << job.error.message;
    return job;
  }
  TempDir tmp_, spool_;
};

// Band b of every line holds `value` where `on[b]`, else 0.
LineFill Bands(unsigned width, std::array<std::uint8_t, 4> value) {
  return [width, value](unsigned, std::span<std::uint8_t> line) {
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = value[i / width];
  };
}

TEST_F(PrintPathTest, CopiesReplayOnlyThePlanesUpToTheLastWithData) {
  for (unsigned copies : {1u, 2u}) {
    auto h = MakeHeader(128, 40, CUPS_CSPACE_CMYK);
    h.NumCopies = copies;
    const RunResult r = Print({h}, Bands(128, {200, 90, 0, 0}));
    ASSERT_EQ(r.status, 0) << r.err;
    const DecodedJob job = Decode(r);
    ASSERT_EQ(job.pages.size(), 1u);
    const auto& page = job.pages[0];
    ASSERT_EQ(page.copies.size(), copies);
    for (unsigned c = 0; c < copies; ++c) {
      const auto& copy = page.copies[c];
      EXPECT_TRUE(copy.closed);
      ASSERT_EQ(copy.passes.size(), 2u) << "planes 2 and 3 hold no data";
      // Plane 0 is announced with flag 0 (plane 3 was the last when the page
      // started, plane 1 in replays), plane 1 with flag 1.
      EXPECT_EQ(copy.passes[0].info.plane, 0);
      EXPECT_EQ(copy.passes[0].info.flag, 0);
      EXPECT_EQ(copy.passes[1].info.plane, 1);
      EXPECT_EQ(copy.passes[1].info.color_code, 2);
      EXPECT_EQ(copy.passes[1].info.flag, 1);
      EXPECT_EQ(copy.passes[0].stats.rows, 40);
      EXPECT_EQ(copy.passes[0].stats.digest, page.copies[0].passes[0].stats.digest);
      EXPECT_EQ(copy.passes[1].stats.digest, page.copies[0].passes[1].stats.digest);
    }
    // Byte for byte: plane 1's pass end and colour select (code 2, flag 1)
    // once per copy, the page end closing each copy, and a second copy that
    // opens with plane 0's whole sequence again (flag 0).
    auto count = [&](const std::string& bytes) {
      std::size_t n = 0;
      for (std::size_t at = r.out.find(bytes); at != std::string::npos;
           at = r.out.find(bytes, at + 1))
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

TEST_F(PrintPathTest, BlankLinesAndBlankRowsBecomeOneSkip) {
  // Lines 0-2 blank, line 3 inks plane 0 only, line 4 plane 1 too.
  auto h = MakeHeader(64, 6, CUPS_CSPACE_CMYK);
  const RunResult r = Print({h}, [](unsigned y, std::span<std::uint8_t> line) {
    if (y >= 3) std::fill(line.begin(), line.begin() + 64, 255);
    if (y >= 4) std::fill(line.begin() + 64, line.begin() + 128, 255);
  });
  ASSERT_EQ(r.status, 0) << r.err;
  const DecodedJob job = Decode(r);
  const auto* plane0 = job.pages[0].Pass(0, 0);
  const auto* plane1 = job.pages[0].Pass(0, 1);
  ASSERT_TRUE(plane0 && plane1);
  ASSERT_EQ(plane0->skips.size(), 1u);
  EXPECT_EQ(plane0->skips[0].count, 3);
  EXPECT_EQ(plane0->rows.front().line, 3);
  ASSERT_EQ(plane1->skips.size(), 1u);
  EXPECT_EQ(plane1->skips[0].count, 4);
  EXPECT_EQ(plane1->rows.front().line, 4);
  // The row carries the whole dot row; nothing after the last row is sent.
  EXPECT_EQ(plane1->rows.front().data.size(), 8u);
  EXPECT_EQ(job.pages[0].Pass(0, 2), nullptr);

  // More blank rows than one skip command can count take several.
  const RunResult tall =
      Print({MakeHeader(8, 70001, CUPS_CSPACE_K)}, [](unsigned y, std::span<std::uint8_t> line) {
        if (y == 70000) std::fill(line.begin(), line.end(), 255);
      });
  const DecodedJob tall_job = Decode(tall);
  const auto* only = tall_job.pages[0].Pass(0, 0);
  ASSERT_TRUE(only);
  ASSERT_EQ(only->skips.size(), 2u);
  EXPECT_EQ(only->skips[0].count, 65535);
  EXPECT_EQ(only->skips[1].count, 70000 - 65535);
  EXPECT_EQ(only->rows.front().line, 70000);
}

}  // namespace
}  // namespace zelt_test
