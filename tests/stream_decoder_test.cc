// The stream decoder on the filter's own output: chosen corruptions of a real
// stream are reported where they break it.  (Every page layout is decoded by
// the golden, cupsfilter and printer-application tests; reading in chunks by
// zeltview.)
#include "tools/stream_decoder.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/job.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"

namespace zelt_test {
namespace {

using namespace zelt::stream;
using Bytes = std::vector<std::uint8_t>;

// A one-page CMYK job with two copies and rows in planes 0 and 1, broken
// where its commands stand.
TEST(StreamDecoder, ChosenCorruptionsAreReportedWhereTheyAre) {
  TempDir tmp;
  auto h = MakeHeader(24, 6, CUPS_CSPACE_CMYK);
  h.NumCopies = 2;
  const LineFill rows = [](unsigned y, std::span<std::uint8_t> line) {
    if (y == 1 || y == 2) std::fill_n(line.begin(), 24, 200);
    if (y == 4) std::fill_n(line.begin() + 24, 24, 200);
  };
  const Bytes stream =
      PrintInProcess(WritePage(tmp.File("in.ras"), h, rows), tmp.path())->sink.bytes;
  const DecodedPage page = DecodeStream(stream).pages.at(0);
  const std::int64_t setup = page.info.setup.offset;
  const std::int64_t row1 = page.Pass(0, 0)->rows[0].offset, row2 = page.Pass(0, 0)->rows[1].offset;
  const std::int64_t select1 = page.Pass(0, 1)->rows[0].offset - 11;  // plane 1's colour select
  const std::int64_t copy2 = page.Pass(1, 0)->info.offset;
  const std::int64_t job_end = static_cast<std::int64_t>(stream.size()) - 4;
  struct Case {
    const char* name;
    std::function<void(Bytes&)> corrupt;
    std::int64_t offset;
    const char* message;
    PageHint hint = {};
  };
  // clang-format off
  const Case cases[] = {
      {"stray byte between rows", [&](Bytes& b) { b.insert(b.begin() + row2, 0x00); }, row2, "unexpected byte 00"},
      {"unknown row letter", [&](Bytes& b) { b[row2 + 5] = 'V'; }, row2, "unknown command"},
      {"longer row", [&](Bytes& b) { b[row2 + 3] = 4; }, row2, "longer than the page's rows"},
      {"resolution code 5", [&](Bytes& b) { b[setup + 3] = 5; }, setup, "resolution code"},
      {"plane 1 with plane 2's code", [&](Bytes& b) { b[select1 + 2] = 3; }, select1, "not plane 1's"},
      {"plane 1 not marked last", [&](Bytes& b) { b[select1 + 3] = 0; }, copy2 - 5, "without the last-plane flag"},
      {"second copy's preamble differs", [&](Bytes& b) { b[copy2 + 2] = 0; }, copy2, "differs"},
      {"two skips in a row", [&](Bytes& b) { b.insert(b.begin() + select1 + 11, {0x1B, 0x2A, 0x62, 1, 0, 0x59}); }, select1 + 11, "two skip commands in a row"},
      {"skip without its row", [&](Bytes& b) { b.erase(b.begin() + select1 + 11, b.begin() + select1 + 20); }, select1 + 5, "not followed by a row"},
      {"row past the last line", [&](Bytes& b) { b[select1 + 8] = 6; }, select1 + 11, "past the page's last line", {-1, -1, -1, 6}},
      {"row after the job end", [&](Bytes& b) { b.insert(b.end(), {0x1B, 0x2A, 0x62, 1, 0, 0x57, 1}); }, job_end + 4, "after the job-end sequence"},
      {"no job end", [&](Bytes& b) { b.resize(job_end); }, job_end, "without the job-end sequence"},
      {"truncated row", [&](Bytes& b) { b.resize(row2 + 7); }, row2, "ends inside a row command"},
      {"mode hint", [](Bytes&) {}, page.info.preamble_offset, "not the expected mode 3", {3, -1, -1}},
      {"row length hint", [](Bytes&) {}, row1, "shorter than the page's rows", {-1, -1, 4}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = stream;
    c.corrupt(bytes);
    DecodeOptions options;
    options.hint = c.hint;
    const DecodedJob job = DecodeStream(bytes, options);
    ASSERT_FALSE(job.ok);
    EXPECT_EQ(job.error.offset, c.offset) << job.error.message;
    EXPECT_NE(job.error.message.find(c.message), std::string::npos) << job.error.message;
  }
}

}  // namespace
}  // namespace zelt_test
