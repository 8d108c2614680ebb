// Whole pages through the filter, read back with the stream decoder: plane
// passes per copy, skip counts, spool replay, the variable-dot framing, and
// what a cancelled job leaves behind.
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

TEST_F(PrintPathTest, LongSpoolReplayReportsProgressEvery256KiB) {
  // One plane, two copies: plane 0's spool file holds 500 rows of 594 + 6
  // bytes, 300000 bytes, replayed in the second copy.
  auto h = MakeHeader(594 * 8, 500, CUPS_CSPACE_K);
  h.NumCopies = 2;
  const RunResult r = Print({h}, Flat(254));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> expected = {
      "INFO: Printing page 1 (2/2), Cyan...", "INFO: Printing page 1 (2/2), Cyan, 0%...",
      "INFO: Printing page 1 (2/2), Cyan, 87%...", "INFO: Printing page 1 (2/2), Cyan, 100%..."};
  EXPECT_EQ(r.LinesStartingWith("INFO: Printing page 1 (2/2)"), expected);
  EXPECT_EQ(Decode(r).pages[0].copies.size(), 2u);
}

TEST_F(PrintPathTest, NoCopiesSendsNoReplayButCleansUp) {
  auto h = MakeHeader(64, 8, CUPS_CSPACE_CMYK);
  h.NumCopies = 0;
  const RunResult r = Print({h}, Random(5));
  ASSERT_EQ(r.status, 0) << r.err;
  const DecodedJob job = Decode(r);
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_TRUE(job.pages[0].info.unclosed_copy);
  EXPECT_EQ(r.out.substr(r.out.size() - 4), Hex("1B 25 00 58"));
  EXPECT_EQ(r.out.find(Hex("0C 1B 2A 72 43")), std::string::npos);
}

TEST_F(PrintPathTest, VariableDotFramingPerMediaAndFinish) {
  struct Case {
    cups_cspace_t space;
    unsigned media;
    bool glossy;
    int media_u;
    bool pre_pass;
  };
  const Case cases[] = {
      {CUPS_CSPACE_CMY, 2, true, 0x91, true},   {CUPS_CSPACE_CMY, 16, true, 0x11, false},
      {CUPS_CSPACE_K, 2, true, 0x92, false},    {CUPS_CSPACE_K, 17, false, 0x12, false},
      {CUPS_CSPACE_CMY, 18, false, 0x91, true},
  };
  for (const auto& c : cases) {
    auto h = MakeHeader(300, 50, c.space, 600);
    h.cupsCompression = 0;
    h.cupsMediaType = c.media;
    h.NumCopies = 2;
    if (c.glossy) std::strcpy(h.OutputType, "Glossy");
    // Imaging box 18..594 x 18..774 pt with 18 pt margins: 0..576 x 0..756 pt.
    h.ImagingBoundingBox[0] = h.ImagingBoundingBox[1] = 18;
    h.ImagingBoundingBox[2] = 594;
    h.ImagingBoundingBox[3] = 774;
    h.Margins[0] = h.Margins[1] = 18;
    const RunResult r = Print({h}, Random(c.media));
    ASSERT_EQ(r.status, 0) << r.err;
    const DecodedJob job = Decode(r);
    ASSERT_EQ(job.pages.size(), 1u);
    const auto& page = job.pages[0];
    const zelt::stream::Box box{0, 0, 300, 50};  // clipped to the raster
    EXPECT_TRUE(page.info.preamble.variable_dot);
    EXPECT_EQ(page.info.preamble.media_u, c.media_u) << c.media;
    using Maybe = std::optional<zelt::stream::Box>;
    EXPECT_EQ(page.info.preamble.pre_pass_box, c.pre_pass ? Maybe(box) : std::nullopt);
    EXPECT_EQ(page.info.preamble.gloss_box, c.glossy ? Maybe(box) : std::nullopt);
    ASSERT_EQ(page.copies.size(), 2u);
    for (const auto& copy : page.copies) EXPECT_EQ(copy.gloss_pass, c.glossy);
  }
}

TEST_F(PrintPathTest, CancelledJobRemovesItsSpoolFiles) {
  // The raster arrives through a pipe that stalls halfway through the page,
  // so the job is surely printing when it is cancelled.
  const std::string fifo = tmp_.File("in.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string raster = tmp_.File("in.ras");
  auto h = MakeHeader(256, 400, CUPS_CSPACE_CMYK);
  {
    RasterWriter w(raster);
    w.AddPage(h, Random(9), 200);  // half the page; the pipe stays open
  }
  std::atomic<bool> done{false};
  std::thread feeder([&] {
    const int out = open(fifo.c_str(), O_WRONLY);
    const int in = open(raster.c_str(), O_RDONLY);
    char buf[65536];
    for (ssize_t n; (n = read(in, buf, sizeof buf)) > 0;)
      if (write(out, buf, static_cast<std::size_t>(n)) != n) break;
    close(in);
    // Hold the pipe open until the filter is gone.
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    close(out);
  });
  RunOptions o;
  o.env = {{"PPD", PpdPath()}, {"TMPDIR", spool_.path()}};
  o.stdin_path = fifo;
  o.before_exec = [&](int pid) {
    std::thread([this, pid] {
      // Wait for the three spool files, then cancel as the scheduler does.
      for (int i = 0; i < 200 && spool_.Entries().size() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      kill(pid, SIGTERM);
    }).detach();
  };
  const RunResult r = RunFilter(o);
  done = true;
  feeder.join();
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_FALSE(r.LinesStartingWith("INFO: PrinterFiles[3]").empty());
  EXPECT_TRUE(spool_.Entries().empty()) << "spool files left behind";
}

}  // namespace
}  // namespace zelt_test
