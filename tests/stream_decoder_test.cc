// The stream decoder on streams built by hand: every page layout the filter
// sends decodes to the structure it was built from, the chosen corruptions are
// reported at the right offset, and flipped or truncated bytes anywhere never
// pass unnoticed where they break a command.
#include "tools/stream_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tools/stream_builder.h"

namespace {

using namespace zelt::stream;
using namespace zelt::stream::build;

// A page of `lines` lines where plane p holds a row (filled with `fill`) on
// every line in `present[p]`; all rows `length` bytes.
PageLayout MakePage(int mode, int planes, int copies, int lines, int length,
                    std::vector<std::vector<int>> present) {
  PageLayout page;
  page.mode = mode;
  page.planes = planes;
  page.copies = copies;
  page.height = lines;
  page.box = {10, 20, 300, 400};
  page.rows.resize(present.size());
  for (std::size_t p = 0; p < present.size(); ++p) {
    page.rows[p].assign(static_cast<std::size_t>(lines),
                        Bytes(static_cast<std::size_t>(length), 0));
    for (int line : present[p])
      for (int i = 0; i < length; ++i)
        page.rows[p][line][i] = static_cast<std::uint8_t>(0x11 * (p + 1) + line + i);
  }
  return page;
}

Bytes Job(const std::vector<PageLayout>& pages) {
  Bytes out;
  JobStart(out);
  for (const PageLayout& page : pages) AppendPage(out, page);
  JobEnd(out);
  return out;
}

// "0 1 | 0 1": the planes of each copy's passes; flags likewise.
std::string PassPlanes(const DecodedPage& page, bool flags) {
  std::string text;
  for (const DecodedCopy& copy : page.copies) {
    if (!text.empty()) text += "| ";
    for (const DecodedPass& pass : copy.passes)
      text += std::to_string(flags ? pass.info.flag : pass.info.plane) + " ";
  }
  return text;
}

struct LayoutCase {
  const char* name;
  PageLayout page;
  unsigned modes;  // expected mode mask
  const char* planes;
  const char* flags;
  int copies;
  bool gloss;
};

TEST(StreamDecoder, PageLayoutsDecodeToTheirStructure) {
  auto glossy = [](PageLayout page) {
    page.glossy = true;
    return page;
  };
  auto media = [](PageLayout page, int type) {
    page.media_type = type;
    return page;
  };
  const LayoutCase cases[] = {
      {"process, two planes with data", MakePage(0, 4, 1, 8, 3, {{0, 5}, {7}}), 1u << 0, "0 1 ",
       "0 1 ", 1, false},
      {"process, plane 2 empty before plane 3", MakePage(0, 4, 1, 4, 2, {{1}, {}, {}, {2}}),
       1u << 0, "0 1 2 3 ", "0 0 0 1 ", 1, false},
      {"black only", MakePage(0, 1, 1, 5, 2, {{4}}), 1u << 0, "0 ", "-1 ", 1, false},
      {"gold and black: plane 3 code 0", MakePage(1, 4, 1, 3, 2, {{0}, {}, {}, {1}}), 1u << 1,
       "0 1 2 3 ", "0 0 0 1 ", 1, false},
      {"gold and silver: plane 3 code 7", MakePage(2, 4, 1, 3, 2, {{0}, {}, {}, {1}}), 1u << 2,
       "0 1 2 3 ", "0 0 0 1 ", 1, false},
      {"gold without plane 3 is mode 1 or 2", MakePage(2, 4, 1, 3, 2, {{0}, {2}}),
       1u << 1 | 1u << 2, "0 1 ", "0 1 ", 1, false},
      {"photo, two copies", MakePage(3, 3, 2, 6, 4, {{0}, {1}, {5}}), 1u << 3, "0 1 2 | 0 1 2 ",
       "0 0 1 | 0 0 1 ", 2, false},
      {"white, glossy", glossy(MakePage(4, 1, 1, 2, 1, {{1}})), 1u << 4, "0 ", "-1 ", 1, false},
      {"variable-dot grey", MakePage(5, 1, 1, 3, 2, {{2}}), 1u << 5, "0 ", "-1 ", 1, false},
      {"variable-dot grey, media 16", media(MakePage(5, 1, 1, 3, 2, {{0}}), 16), 1u << 5, "0 ",
       "-1 ", 1, false},
      {"variable-dot colour, media 17", media(MakePage(5, 4, 1, 3, 2, {{0}, {1}}), 17), 1u << 5,
       "0 1 ", "0 1 ", 1, false},
      {"variable-dot colour, pre-pass, glossy, 2 copies",
       glossy(MakePage(5, 4, 2, 3, 2, {{0}, {}, {2}})), 1u << 5, "0 1 2 | 0 1 2 ", "0 0 1 | 0 0 1 ",
       2, true},
      {"only plane 0 has data, 2 copies", MakePage(0, 4, 2, 3, 1, {{1}}), 1u << 0, "0 | 0 ",
       "0 | 1 ", 2, false},
      {"no data, 3 copies", MakePage(0, 4, 3, 3, 1, {}), 1u << 0, "0 | | ", "0 | | ", 3, false},
      {"no copies: no page end", MakePage(0, 4, 0, 3, 1, {{1}, {2}}), 1u << 0, "0 ", "0 ", 0,
       false},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes stream = Job({c.page, c.page});
    DecodedJob job = DecodeStream(stream);
    ASSERT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
    EXPECT_TRUE(job.warnings.empty()) << job.warnings[0].message;
    EXPECT_EQ(job.size, static_cast<std::int64_t>(stream.size()));
    ASSERT_EQ(job.pages.size(), 2u);
    const DecodedPage& page = job.pages[1];
    EXPECT_EQ(page.info.index, 1);
    EXPECT_EQ(page.info.mode_mask, c.modes);
    EXPECT_EQ(page.info.planes, c.page.planes);
    EXPECT_EQ(page.info.row_bits, kRowBits[c.page.mode]);
    EXPECT_EQ(page.info.glossy, c.page.glossy);
    EXPECT_EQ(page.info.copies, c.copies);
    EXPECT_EQ(page.info.unclosed_copy, c.copies == 0);
    EXPECT_EQ(PassPlanes(page, false), c.planes);
    EXPECT_EQ(PassPlanes(page, true), c.flags);
    for (const DecodedCopy& copy : page.copies) EXPECT_EQ(copy.gloss_pass, c.gloss);

    // The first copy carries every row of every plane at its line.
    for (int p = 0; p < static_cast<int>(c.page.rows.size()); ++p) {
      std::vector<DecodedRow> expected;
      for (int line = 0; line < c.page.height; ++line)
        if (RowInk(c.page.rows[p][line], 1) > 0) expected.push_back({line, c.page.rows[p][line]});
      const DecodedPass* pass = page.Pass(0, p);
      if (pass == nullptr) {  // not sent: no data, or no copies to send it
        EXPECT_TRUE(expected.empty() || c.copies == 0) << "plane " << p;
        continue;
      }
      ASSERT_EQ(pass->rows.size(), expected.size()) << "plane " << p;
      for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(pass->rows[i].line, expected[i].line);
        EXPECT_EQ(pass->rows[i].data, expected[i].data);
      }
    }
  }
}

// A one-page process-colour job with two copies; the tests below corrupt it.
struct Sample {
  Bytes bytes;
  std::size_t plane1_select = 0;  // colour select of plane 1, first copy
  std::size_t second_row = 0;     // plane 0's second row command
  std::size_t page_end = 0;       // first copy's page end
  std::size_t copy2 = 0;          // plane 0's sequence of the second copy
  std::size_t job_end = 0;
};

Sample MakeSample() {
  Sample s;
  PageLayout page = MakePage(0, 4, 2, 6, 3, {{1, 2}, {4}});
  JobStart(s.bytes);
  PageStartCommands(s.bytes, page);
  StartPlane(s.bytes, page, 0, 3);
  SkipCommand(s.bytes, 1);
  RowCommand(s.bytes, page.rows[0][1]);
  s.second_row = s.bytes.size();
  RowCommand(s.bytes, page.rows[0][2]);
  StartPlane(s.bytes, page, 1, 1);
  s.plane1_select = s.bytes.size() - 5;
  SkipCommand(s.bytes, 4);
  RowCommand(s.bytes, page.rows[1][4]);
  s.page_end = s.bytes.size();
  PageEnd(s.bytes);
  s.copy2 = s.bytes.size();
  for (int p = 0; p <= 1; ++p) {
    StartPlane(s.bytes, page, p, 1);
    Bytes rows = PlaneCommands(page.rows[p]);
    s.bytes.insert(s.bytes.end(), rows.begin(), rows.end());
  }
  PageEnd(s.bytes);
  s.job_end = s.bytes.size();
  JobEnd(s.bytes);
  return s;
}

TEST(StreamDecoder, ChosenCorruptionsAreReportedWhereTheyAre) {
  const Sample s = MakeSample();
  ASSERT_TRUE(DecodeStream(s.bytes).ok);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> corrupt;
    std::size_t offset;
    const char* message;
    PageHint hint = {};
  };
  const Case cases[] = {
      {"stray byte between rows", [&](Bytes& b) { b.insert(b.begin() + s.second_row, 0x00); },
       s.second_row, "unexpected byte 00"},
      {"unknown row letter", [&](Bytes& b) { b[s.second_row + 5] = 'V'; }, s.second_row,
       "unknown command 1B 2A 62 03 00 56"},
      {"longer row", [&](Bytes& b) { b[s.second_row + 3] = 4; }, s.second_row,
       "row of 4 bytes is longer than the page's rows of 3 bytes"},
      {"plane 1 with plane 2's code", [&](Bytes& b) { b[s.plane1_select + 2] = 3; },
       s.plane1_select, "colour code 0x03 is not plane 1's in colour mode 0"},
      {"plane 1 not marked last", [&](Bytes& b) { b[s.plane1_select + 3] = 0; }, s.page_end,
       "ends after a pass without the last-plane flag"},
      {"plane 0 marked last, then plane 1", [&](Bytes& b) { b[s.copy2 + 24] = 1; }, s.copy2 + 50,
       "plane pass after the pass marked last"},
      {"second copy's preamble differs", [&](Bytes& b) { b[s.copy2 + 2] = 0; }, s.copy2,
       "plane 0's sequence in copy 2 differs"},
      {"rows after the page end",
       [&](Bytes& b) {
         RowCommand(b, {1, 2, 3});
       },
       s.bytes.size(), "bytes after the job-end sequence"},
      {"row outside a pass",
       [&](Bytes& b) {
         b.insert(b.begin() + s.job_end, {0x1B, 0x2A, 0x62, 1, 0, 0x59});
       },
       s.job_end, "outside a plane pass"},
      {"no job end", [&](Bytes& b) { b.resize(s.job_end); }, s.job_end,
       "stream ends without the job-end sequence"},
      {"truncated row", [&](Bytes& b) { b.resize(s.second_row + 7); }, s.second_row,
       "stream ends inside a row command (7 of 9 bytes)"},
      {"skip without its row",
       [&](Bytes& b) { b.erase(b.begin() + s.plane1_select + 11, b.begin() + s.page_end); },
       s.plane1_select + 5, "skip command not followed by a row"},
      {"row past the page's last line", [&](Bytes& b) { b[s.plane1_select + 8] = 6; },
       s.plane1_select + 11, "row at line 6 is past the page's last line (the page has 6 lines)"},
      {"mode hint",
       [](Bytes&) {},
       15 + 28,
       "fits colour mode 0, not the expected mode 3",
       {3, -1, -1}},
      {"row length hint",
       [](Bytes&) {},
       s.second_row - 9,
       "row of 3 bytes is shorter than the page's rows of 4 bytes",
       {-1, -1, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = s.bytes;
    c.corrupt(bytes);
    DecodeOptions options;
    options.hint = c.hint;
    DecodedJob job = DecodeStream(bytes, options);
    ASSERT_FALSE(job.ok);
    EXPECT_EQ(job.error.offset, static_cast<std::int64_t>(c.offset));
    EXPECT_NE(job.error.message.find(c.message), std::string::npos) << job.error.message;
  }
}

TEST(StreamDecoder, FaultsOfSingleModes) {
  PageLayout grey = MakePage(5, 1, 1, 2, 1, {{0}});
  PageLayout plain = MakePage(5, 4, 1, 2, 1, {{0}});
  PageLayout glossy = plain;
  glossy.glossy = true;
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  auto job_with = [](const PageLayout& page, auto&& edit) {
    Bytes b = Job({page});
    edit(b);
    return b;
  };
  std::vector<Case> cases = {
      {"further plane on a one-plane page",
       job_with(grey,
                [](Bytes& b) {
                  Bytes tail;
                  PassEnd(tail);
                  ColorSelect(tail, 2, 1);
                  b.insert(b.end() - 9, tail.begin(), tail.end());
                }),
       "further plane pass on a one-plane page"},
      {"gloss pass missing",
       job_with(glossy, [](Bytes& b) { b.erase(b.end() - 9 - 30, b.end() - 9); }),
       "ends without the gloss pass"},
      {"gloss pass on a plain page",
       job_with(plain,
                [](Bytes& b) {
                  Bytes gloss;
                  GlossPass(gloss);
                  b.insert(b.end() - 9, gloss.begin(), gloss.end());
                }),
       "gloss pass on a page that defined no gloss box"},
      {"page-start U command in mode 5",
       job_with(grey,
                [](Bytes& b) {
                  b.insert(b.begin() + 32, {0x1B, 0x1A, 0, 0, 0x55});
                }),
       "page-start U command on a variable-dot page"},
      {"glossy O command in mode 5", job_with(grey, [](Bytes& b) { b[15 + 23 + 5 + 2] = 0; }),
       "expected the plain form"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedJob job = DecodeStream(c.bytes);
    ASSERT_FALSE(job.ok);
    EXPECT_NE(job.error.message.find(c.message), std::string::npos) << job.error.message;
  }
}

TEST(StreamDecoder, WarnsAboutZeroRowsAndCopiesThatDiffer) {
  Sample s = MakeSample();
  Bytes bytes = s.bytes;
  bytes[s.copy2 + 40] ^= 0x40;  // a dot of plane 0's first row in copy 2
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(s.second_row) + 6, 3, 0);
  DecodedJob job = DecodeStream(bytes);
  ASSERT_TRUE(job.ok) << job.error.message;
  ASSERT_EQ(job.warnings.size(), 2u);
  EXPECT_EQ(job.warnings[0].offset, static_cast<std::int64_t>(s.second_row));
  EXPECT_NE(job.warnings[0].message.find("all zero"), std::string::npos);
  EXPECT_NE(job.warnings[1].message.find("plane 0 with other rows"), std::string::npos);
}

// Every cut of a valid stream fails, at the cut or at the start of the
// command it splits; flipping the first byte of any command is caught right
// there; any other flip is either caught or leaves a stream that decodes.
TEST(StreamDecoder, TruncatedAndFlippedBytes) {
  PageLayout glossy = MakePage(5, 4, 2, 5, 3, {{0, 3}, {}, {4}});
  glossy.glossy = true;
  Bytes stream =
      Job({MakePage(0, 4, 2, 6, 3, {{1, 2}, {4}}), glossy, MakePage(4, 1, 1, 3, 2, {{2}})});
  ASSERT_TRUE(DecodeStream(stream).ok);

  std::set<std::int64_t> boundaries;
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    DecodedJob job = DecodeStream(std::span(stream).first(cut), {}, false);
    ASSERT_FALSE(job.ok) << "cut at " << cut;
    ASSERT_LE(job.error.offset, static_cast<std::int64_t>(cut));
    const std::string& message = job.error.message;
    if (job.error.offset == static_cast<std::int64_t>(cut)) {
      EXPECT_NE(message.find("without the job-end"), std::string::npos) << message;
      boundaries.insert(job.error.offset);
    } else if (message.find("not followed by a row") != std::string::npos) {
      boundaries.insert(static_cast<std::int64_t>(cut));  // cut after a skip
    } else {
      EXPECT_TRUE(boundaries.count(job.error.offset)) << "cut at " << cut;
      EXPECT_NE(message.find("ends inside"), std::string::npos) << message;
    }
  }
  EXPECT_GT(boundaries.size(), 100u);

  for (std::int64_t start : boundaries) {
    Bytes bytes = stream;
    bytes[start] ^= 0x80;
    DecodedJob job = DecodeStream(bytes, {}, false);
    ASSERT_FALSE(job.ok) << "flip at " << start;
    EXPECT_EQ(job.error.offset, start) << job.error.message;
  }
  for (std::size_t at = 0; at < stream.size(); ++at) {
    for (int mask : {0x01, 0x10, 0xFF}) {
      Bytes bytes = stream;
      bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ mask);
      DecodedJob job = DecodeStream(bytes, {}, false);
      if (!job.ok) {
        EXPECT_GE(job.error.offset, 0);
        EXPECT_LE(job.error.offset, static_cast<std::int64_t>(bytes.size()));
        EXPECT_FALSE(job.error.message.empty());
      }
    }
  }
}

// Reading in small pieces, across the longest row there can be, gives what a
// whole span gives.
TEST(StreamDecoder, ChunkedReadsMatchTheSpan) {
  PageLayout page = MakePage(3, 3, 2, 4, 65535, {{0, 3}, {1}, {2}});
  Bytes stream = Job({page, MakePage(0, 1, 1, 4, 5, {{1, 2}})});
  DecodedJob whole = DecodeStream(stream);
  ASSERT_TRUE(whole.ok) << whole.error.message;

  for (std::size_t piece : {1, 7, 4096}) {
    SCOPED_TRACE(piece);
    std::size_t at = 0;
    ReadFunction read = [&](std::uint8_t* buffer, std::size_t size) -> long {
      std::size_t n = std::min({size, piece, stream.size() - at});
      std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), n, buffer);
      at += n;
      return static_cast<long>(n);
    };
    DecodedJob job;
    JobBuilder builder(&job, true);
    DecodeOptions options;
    options.chunk_size = piece;
    ASSERT_TRUE(Decode(read, builder, options, &job.error)) << job.error.message;
    ASSERT_EQ(job.pages.size(), whole.pages.size());
    for (std::size_t p = 0; p < job.pages.size(); ++p) {
      ASSERT_EQ(job.pages[p].copies.size(), whole.pages[p].copies.size());
      for (std::size_t c = 0; c < job.pages[p].copies.size(); ++c) {
        const auto& got = job.pages[p].copies[c].passes;
        const auto& want = whole.pages[p].copies[c].passes;
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
          EXPECT_EQ(got[i].stats.digest, want[i].stats.digest);
          ASSERT_EQ(got[i].rows.size(), want[i].rows.size());
          for (std::size_t r = 0; r < got[i].rows.size(); ++r)
            EXPECT_EQ(got[i].rows[r].data, want[i].rows[r].data);
        }
      }
    }
  }

  // A read error is an error, at the offset reached.
  std::size_t calls = 0;
  ReadFunction failing = [&](std::uint8_t* buffer, std::size_t) -> long {
    if (calls++ > 0) return -1;
    std::copy_n(stream.begin(), 20, buffer);
    return 20;
  };
  Error error;
  StreamVisitor quiet;
  EXPECT_FALSE(Decode(failing, quiet, {}, &error));
  EXPECT_EQ(error.offset, 20);
  EXPECT_NE(error.message.find("read error"), std::string::npos);
}

}  // namespace
