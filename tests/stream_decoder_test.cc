// The stream decoder on the filter's own output: every page layout decodes to
// the structure the raster asked for, and mutations of a real stream (chosen
// corruptions, every cut, flipped bytes) are reported where they break it.
// (Reading in chunks is exercised by zeltview on a stream of a million pages.)
#include "tools/stream_decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "tests/support/job.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

using namespace zelt::stream;
using Bytes = std::vector<std::uint8_t>;

// Band b of line y holds `ink` where `lines[b]` lists y, else 0.
LineFill Rows(unsigned width, std::vector<std::vector<unsigned>> lines, std::uint8_t ink = 200) {
  return [=](unsigned y, std::span<std::uint8_t> line) {
    for (std::size_t b = 0; b < lines.size(); ++b)
      if (std::find(lines[b].begin(), lines[b].end(), y) != lines[b].end())
        std::fill_n(line.begin() + b * width, width, ink);
  };
}

struct Layout {
  const char* name;
  cups_cspace_t space;
  unsigned compression, copies, media;
  bool glossy;
  std::vector<std::vector<unsigned>> rows;  // lines with ink, per band
  unsigned modes;                           // expected mode mask
  const char* passes;                       // planes of each copy's passes
  const char* flags;                        // their last-plane flags
};

Bytes Print(const Layout& c, unsigned width = 24, unsigned height = 8) {
  TempDir tmp;
  auto h = MakeHeader(width, height, c.space);
  h.cupsCompression = c.compression;
  h.NumCopies = c.copies;
  h.cupsMediaType = c.media;
  if (c.glossy) std::snprintf(h.OutputType, sizeof h.OutputType, "Glossy");
  {
    RasterWriter w(tmp.File("in.ras"));
    w.AddPage(h, Rows(width, c.rows));
    w.AddPage(h, Rows(width, c.rows));
  }
  return PrintInProcess(tmp.File("in.ras"), tmp.path())->sink.bytes;
}

// "0 1 | 0 1": each copy's passes; flags likewise.
std::string Passes(const DecodedPage& page, bool flags) {
  std::string text;
  for (const DecodedCopy& copy : page.copies) {
    if (!text.empty()) text += "| ";
    for (const DecodedPass& pass : copy.passes)
      text += std::to_string(flags ? pass.info.flag : pass.info.plane) + " ";
  }
  return text;
}

TEST(StreamDecoder, EveryLayoutDecodesToItsStructure) {
  // clang-format off
  const Layout cases[] = {
      {"cmyk, two planes with data", CUPS_CSPACE_CMYK, 1, 1, 0, false, {{0, 5}, {7}}, 1u << 0, "0 1 ", "0 1 "},
      {"cmyk, plane 2 empty", CUPS_CSPACE_CMYK, 1, 1, 0, false, {{1}, {}, {}, {2}}, 1u << 0, "0 1 2 3 ", "0 0 0 1 "},
      {"black only", CUPS_CSPACE_K, 1, 1, 0, false, {{4}}, 1u << 0, "0 ", "-1 "},
      {"gold and black", CUPS_CSPACE_GMCK, 1, 1, 0, false, {{0}, {}, {}, {1}}, 1u << 1, "0 1 2 3 ", "0 0 0 1 "},
      {"gold and silver", CUPS_CSPACE_GMCS, 1, 1, 0, false, {{0}, {}, {}, {1}}, 1u << 2, "0 1 2 3 ", "0 0 0 1 "},
      {"gold without plane 3", CUPS_CSPACE_GMCS, 1, 1, 0, false, {{0}, {2}}, 1u << 1 | 1u << 2, "0 1 ", "0 1 "},
      {"photo, two copies", CUPS_CSPACE_YMC, 1, 2, 0, false, {{0}, {1}, {5}}, 1u << 3, "0 1 2 | 0 1 2 ", "0 0 1 | 0 0 1 "},
      {"white, glossy", CUPS_CSPACE_WHITE, 1, 1, 0, true, {{1}}, 1u << 4, "0 ", "-1 "},
      {"grey", CUPS_CSPACE_K, 0, 1, 0, false, {{2}}, 1u << 5, "0 ", "-1 "},
      {"grey, media 16", CUPS_CSPACE_K, 0, 1, 16, false, {{0}}, 1u << 5, "0 ", "-1 "},
      {"colour, media 17", CUPS_CSPACE_CMY, 0, 1, 17, false, {{0}, {1}}, 1u << 5, "0 1 ", "0 1 "},
      {"colour, pre-pass, glossy, 2 copies", CUPS_CSPACE_CMY, 0, 2, 0, true, {{0}, {}, {2}}, 1u << 5, "0 1 2 | 0 1 2 ", "0 0 1 | 0 0 1 "},
      {"only plane 0, 2 copies", CUPS_CSPACE_CMYK, 1, 2, 0, false, {{1}}, 1u << 0, "0 | 0 ", "0 | 1 "},
      {"no data, 3 copies", CUPS_CSPACE_CMYK, 1, 3, 0, false, {}, 1u << 0, "0 | | ", "0 | | "},
      {"no copies: no page end", CUPS_CSPACE_CMYK, 1, 0, 0, false, {{1}, {2}}, 1u << 0, "0 ", "0 "},
  };
  // clang-format on
  for (const Layout& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes stream = Print(c);
    const DecodedJob job = DecodeStream(stream);
    ASSERT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
    EXPECT_TRUE(job.warnings.empty());
    EXPECT_EQ(job.size, static_cast<std::int64_t>(stream.size()));
    ASSERT_EQ(job.pages.size(), 2u);
    const DecodedPage& page = job.pages[1];
    const ModeDecision m = DecideColorMode(c.space, c.compression);
    EXPECT_EQ(page.info.mode_mask, c.modes);
    EXPECT_EQ(page.info.planes, m.planes);
    EXPECT_EQ(page.info.Height(), 8);
    if (!c.rows.empty()) {
      EXPECT_EQ(page.info.Width(), 24);
    }
    EXPECT_EQ(page.info.glossy, c.glossy);
    EXPECT_EQ(page.info.copies, static_cast<int>(c.copies));
    EXPECT_EQ(page.info.unclosed_copy, c.copies == 0);
    EXPECT_EQ(Passes(page, false), c.passes);
    EXPECT_EQ(Passes(page, true), c.flags);
    for (const DecodedCopy& copy : page.copies)
      EXPECT_EQ(copy.gloss_pass, c.glossy && m.mode == ColorMode::kVariableDot);
    // The first copy carries a row at every line with ink, and only there.
    for (std::size_t p = 0; p < c.rows.size() && c.copies > 0; ++p) {
      const DecodedPass* pass = page.Pass(0, static_cast<int>(p));
      std::vector<std::int64_t> lines;
      if (pass)
        for (const auto& row : pass->rows) lines.push_back(row.line);
      EXPECT_EQ(lines, std::vector<std::int64_t>(c.rows[p].begin(), c.rows[p].end())) << p;
    }
  }
}

// A one-page CMYK job with two copies and rows in planes 0 and 1, and where
// its commands stand.
struct Sample {
  Bytes bytes;
  DecodedPage page;
  std::int64_t Row(int copy, int plane, int i) const {
    return page.Pass(copy, plane)->rows[i].offset;
  }
};

Sample MakeSample() {
  Sample s;
  s.bytes = Print({"sample", CUPS_CSPACE_CMYK, 1, 2, 0, false, {{1, 2}, {4}}}, 24, 6);
  DecodedJob job = DecodeStream(s.bytes);
  s.page = job.pages.at(0);
  return s;
}

TEST(StreamDecoder, ChosenCorruptionsAreReportedWhereTheyAre) {
  const Sample s = MakeSample();
  const std::int64_t setup = s.page.info.setup.offset;
  const std::int64_t row2 = s.Row(0, 0, 1);          // plane 0's second row
  const std::int64_t select1 = s.Row(0, 1, 0) - 11;  // plane 1's colour select
  const std::int64_t copy2 = s.page.Pass(1, 0)->info.offset;
  const std::int64_t job_end = static_cast<std::int64_t>(s.bytes.size()) - 4;
  struct Case {
    const char* name;
    std::function<void(Bytes&)> corrupt;
    std::int64_t offset;
    const char* message;
    PageHint hint = {};
  };
  const Case cases[] = {
      {"stray byte between rows", [&](Bytes& b) { b.insert(b.begin() + row2, 0x00); }, row2,
       "unexpected byte 00"},
      {"unknown row letter", [&](Bytes& b) { b[row2 + 5] = 'V'; }, row2, "unknown command"},
      {"longer row", [&](Bytes& b) { b[row2 + 3] = 4; }, row2, "longer than the page's rows"},
      {"resolution code 5", [&](Bytes& b) { b[setup + 3] = 5; }, setup, "resolution code"},
      {"plane 1 with plane 2's code", [&](Bytes& b) { b[select1 + 2] = 3; }, select1,
       "not plane 1's"},
      {"plane 1 not marked last", [&](Bytes& b) { b[select1 + 3] = 0; }, copy2 - 5,
       "without the last-plane flag"},
      {"second copy's preamble differs", [&](Bytes& b) { b[copy2 + 2] = 0; }, copy2, "differs"},
      {"two skips in a row",
       [&](Bytes& b) {
         b.insert(b.begin() + select1 + 11, {0x1B, 0x2A, 0x62, 1, 0, 0x59});
       },
       select1 + 11, "two skip commands in a row"},
      {"skip without its row",
       [&](Bytes& b) { b.erase(b.begin() + select1 + 11, b.begin() + select1 + 11 + 9); },
       select1 + 5, "not followed by a row"},
      {"row past the last line", [&](Bytes& b) { b[select1 + 8] = 6; }, select1 + 11,
       "past the page's last line", {-1, -1, -1, 6}},
      {"row after the job end",
       [&](Bytes& b) {
         b.insert(b.end(), {0x1B, 0x2A, 0x62, 1, 0, 0x57, 1});
       },
       job_end + 4, "after the job-end sequence"},
      {"no job end", [&](Bytes& b) { b.resize(job_end); }, job_end, "without the job-end sequence"},
      {"truncated row", [&](Bytes& b) { b.resize(row2 + 7); }, row2, "ends inside a row command"},
      {"mode hint",
       [](Bytes&) {},
       s.page.info.preamble_offset,
       "not the expected mode 3",
       {3, -1, -1}},
      {"row length hint",
       [](Bytes&) {},
       s.Row(0, 0, 0),
       "shorter than the page's rows",
       {-1, -1, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = s.bytes;
    c.corrupt(bytes);
    DecodeOptions options;
    options.hint = c.hint;
    const DecodedJob job = DecodeStream(bytes, options);
    ASSERT_FALSE(job.ok);
    EXPECT_EQ(job.error.offset, c.offset) << job.error.message;
    EXPECT_NE(job.error.message.find(c.message), std::string::npos) << job.error.message;
  }
}

// Every cut of a valid stream fails, at the cut or at the start of the
// command it splits; flipping the first byte of any command is caught there.
TEST(StreamDecoder, CutsAndFlippedBytes) {
  const Bytes stream = MakeSample().bytes;
  std::set<std::int64_t> boundaries;
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    const DecodedJob job = DecodeStream(std::span(stream).first(cut), {}, false);
    ASSERT_FALSE(job.ok) << "cut at " << cut;
    ASSERT_LE(job.error.offset, static_cast<std::int64_t>(cut));
    if (job.error.offset == static_cast<std::int64_t>(cut)) boundaries.insert(job.error.offset);
  }
  EXPECT_GT(boundaries.size(), 20u);
  for (std::int64_t start : boundaries) {
    Bytes bytes = stream;
    bytes[start] ^= 0x80;
    const DecodedJob job = DecodeStream(bytes, {}, false);
    ASSERT_FALSE(job.ok) << "flip at " << start;
    EXPECT_EQ(job.error.offset, start) << job.error.message;
  }
}

}  // namespace
}  // namespace zelt_test
