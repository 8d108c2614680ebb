// The printer stream decoder: reads a job as the filter writes it and checks
// that every byte belongs to a command in its place.
//
// A job is the job-start sequence, its pages and the job-end sequence.  A page
// is its page-start commands, plane 0's command sequence and rows, and then its
// copies: each copy sends the further planes (every pass opened by the pass end
// command and a colour select), the gloss pass on glossy variable-dot pages,
// and the page end sequence.  Copies after the first open again with plane 0's
// full sequence.  A page printed with no copies at all (NumCopies 0) leaves its
// first copy without a page end; the decoder accepts that and says so.
//
// The decoder reads incrementally, in chunks, from a byte span, a descriptor or
// a stdio stream, and reports what it finds to a StreamVisitor as it goes; a
// row's bytes are valid only during the call that reports it.  DecodeStream()
// builds the whole structure in memory for tests.  On malformed input it stops
// and returns the byte offset of the command at fault (for a stream that ends
// too early, the offset of the truncated command, or the stream's length).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "page/color_mode.h"

namespace zelt::stream {

// Where a stream stops being valid.
struct Error {
  std::int64_t offset = 0;
  std::string message;
};

// What the caller knows about a page beyond the stream (from the raster the
// job came from, say).  -1 means unknown.  A hint that contradicts the stream
// is an error.
struct PageHint {
  int color_mode = -1;  // 0 to 5
  int planes = -1;      // 1, 3 or 4
  int row_length = -1;  // bytes per dot row (DotLength); rows longer or
                        // shorter than it are errors
  long height = -1;     // lines of the page (cupsHeight); must agree with
                        // the page-length command modulo 65536
};

struct DecodeOptions {
  PageHint hint;                     // for every page without its own entry
  std::vector<PageHint> pages;       // entry i for page i (0-based)
  std::size_t chunk_size = 1 << 16;  // bytes per read from a descriptor
};

// Box coordinates as sent: X, Y, W, H, 16 bits each.
struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Box&) const = default;
};

// The page-start commands.  Optional commands that were not sent are empty.
struct PageSetup {
  std::int64_t offset = 0;
  std::optional<int> resolution_code;  // 2, 3, 4: 300, 600, 1200 dpi
  std::optional<int> page_size_code;   // 2 to 6
  std::optional<int> media_position;   // low byte of MediaPosition
  int media_type = 0;                  // cupsMediaType, 16 bits
  bool u_command = false;              // 1B 1A 00 00 55 was sent
  int page_length = 0;                 // as sent: cupsHeight + 1, 16 bits
};

// Plane 0's command sequence, apart from its colour select flag.
struct Preamble {
  bool variable_dot = false;        // opens with 1B 2A 72 08 55 (colour mode 5)
  int o_form = 1;                   // O command g: 0 glossy, 1 plain
  int ru = 0;                       // rU command n: 0x00, 0x04 or 0x08
  std::optional<Box> gloss_box;     // box 1 (glossy variable-dot page)
  int media_u = -1;                 // mode 5: U code 0x11, 0x12, 0x92, or
                                    // 0x91 after the pre-pass; -1 otherwise
  std::optional<Box> pre_pass_box;  // box 0: the mode-5 pre-pass was sent
  bool white_select = false;
  int color_code = -1;  // plane 0's colour code, -1 without colour select
  bool operator==(const Preamble&) const = default;
};

// One page as far as the decoder has seen it.  `mode_mask` has bit m set for
// every colour mode m the page's commands fit; modes 1 and 2 differ only in
// plane 3's colour code, so a page that never sends plane 3 keeps both.
struct PageInfo {
  int index = 0;  // 0-based
  PageSetup setup;
  Preamble preamble;
  std::int64_t preamble_offset = 0;
  unsigned mode_mask = 0;
  int planes = 0;       // 1, 3 or 4
  int row_bits = 1;     // 1 or 4
  int row_length = -1;  // bytes per row: the hint's, else the first row's;
                        // -1 before either
  bool glossy = false;
  int copies = 0;              // copies closed by the page end sequence
  bool unclosed_copy = false;  // first copy ended without page end

  // The colour mode when only one fits, else -1.
  int ColorMode() const;
  // The page height in lines.  The page-length command carries it plus one
  // in 16 bits, so the stream tells it only modulo 65536: the height is the
  // raster's (from a hint), else the announced one, raised by 65536 at a time
  // while rows lie further down.
  long height = -1;
  long Height() const { return height; }
  // Page width in pixels when a row length is known, else -1.
  int Width() const { return row_length < 0 ? -1 : row_length * 8 / row_bits; }
};

// A plane pass: a plane's command sequence and the rows that follow it.
struct PassInfo {
  int page = 0;
  int copy = 0;             // 0-based
  int plane = 0;            // 0 to 3
  std::int64_t offset = 0;  // first byte of the pass's command sequence
  int color_code = -1;      // -1 without colour select
  int flag = -1;            // last-plane flag 0 or 1, -1 without colour select
};

// Counts over one pass.  `ink` is the number of set dots in 1-bit rows, the
// sum of dot codes in 4-bit rows.
struct PassStats {
  int rows = 0;
  int skips = 0;
  std::int64_t skipped_lines = 0;
  std::int64_t end_line = 0;  // line after the last row (or skip)
  std::int64_t ink = 0;
  int blank_rows = 0;        // row commands whose bytes are all zero
  std::uint64_t digest = 0;  // FNV-1a over the pass's skip and row commands
  std::int64_t bytes = 0;    // bytes of its skip and row commands
};

struct Row {
  std::int64_t offset = 0;  // of the row command
  std::int64_t line = 0;    // line within the page, skipped lines included
  std::span<const std::uint8_t> data;
};

// Receives the decoder's findings in stream order.  Every call has a default
// that does nothing.
class StreamVisitor {
 public:
  virtual ~StreamVisitor() = default;
  virtual void OnJobStart() {}
  // After the page-start commands and plane 0's sequence.
  virtual void OnPageStart(const PageInfo&) {}
  virtual void OnCopyStart(const PageInfo&, int /*copy*/) {}
  virtual void OnPassStart(const PageInfo&, const PassInfo&) {}
  virtual void OnSkip(const PassInfo&, std::int64_t /*line*/, int /*count*/) {}
  virtual void OnRow(const PageInfo&, const PassInfo&, const Row&) {}
  virtual void OnPassEnd(const PageInfo&, const PassInfo&, const PassStats&) {}
  virtual void OnGlossPass(const PageInfo&, int /*copy*/, std::int64_t /*offset*/) {}
  // `closed`: the copy ended with the page end sequence.
  virtual void OnCopyEnd(const PageInfo&, int /*copy*/, bool /*closed*/) {}
  // With everything the page's copies revealed (mode, row length, copies).
  virtual void OnPageEnd(const PageInfo&) {}
  virtual void OnJobEnd(std::int64_t /*offset*/) {}
  // Something the stream's grammar allows but the filter should not send:
  // all-zero rows, a copy that replays a plane differently.
  virtual void OnWarning(std::int64_t /*offset*/, const std::string&) {}
};

// Where the decoder's bytes come from.  Read() fills up to `size` bytes and
// returns the count, 0 at the end of the input, -1 on a read error.
using ReadFunction = std::function<long(std::uint8_t* buffer, std::size_t size)>;

// Decoders.  Each returns true for a valid job; otherwise it fills `error`.
bool Decode(const ReadFunction& read, StreamVisitor& visitor, const DecodeOptions& options,
            Error* error);
bool DecodeBytes(std::span<const std::uint8_t> bytes, StreamVisitor& visitor,
                 const DecodeOptions& options, Error* error);
bool DecodeDescriptor(int fd, StreamVisitor& visitor, const DecodeOptions& options, Error* error);
bool DecodeFile(std::FILE* file, StreamVisitor& visitor, const DecodeOptions& options,
                Error* error);

// The whole job in memory, for tests.
struct Skip {
  std::int64_t line = 0;  // first skipped line
  int count = 0;
};
struct DecodedRow {
  std::int64_t offset = 0;  // of the row command
  std::int64_t line = 0;
  std::vector<std::uint8_t> data;
};
struct DecodedPass {
  PassInfo info;
  PassStats stats;
  std::vector<Skip> skips;
  std::vector<DecodedRow> rows;  // empty unless rows are kept
};
struct DecodedCopy {
  std::vector<DecodedPass> passes;
  bool gloss_pass = false;
  bool closed = false;  // ended with the page end sequence
};
struct DecodedPage {
  PageInfo info;
  std::vector<DecodedCopy> copies;  // includes an unclosed first copy

  // The pass of `plane` in `copy`, or null.
  const DecodedPass* Pass(int copy, int plane) const;
};
struct DecodedJob {
  bool ok = false;
  Error error;
  std::vector<DecodedPage> pages;  // pages decoded before any error
  std::vector<Error> warnings;
  std::int64_t size = 0;  // bytes up to the end of the job-end sequence
};

// Builds a DecodedJob from the visitor calls; `keep_rows` keeps every row's
// bytes (leave it off for large jobs: the counts and skips remain).
class JobBuilder : public StreamVisitor {
 public:
  JobBuilder(DecodedJob* job, bool keep_rows) : job_(job), keep_rows_(keep_rows) {}
  void OnPageStart(const PageInfo& page) override;
  void OnCopyStart(const PageInfo&, int copy) override;
  void OnPassStart(const PageInfo&, const PassInfo& pass) override;
  void OnSkip(const PassInfo&, std::int64_t line, int count) override;
  void OnRow(const PageInfo&, const PassInfo&, const Row& row) override;
  void OnPassEnd(const PageInfo& page, const PassInfo&, const PassStats& stats) override;
  void OnGlossPass(const PageInfo&, int copy, std::int64_t offset) override;
  void OnCopyEnd(const PageInfo&, int copy, bool closed) override;
  void OnPageEnd(const PageInfo& page) override;
  void OnJobEnd(std::int64_t offset) override;
  void OnWarning(std::int64_t offset, const std::string& message) override;

 private:
  DecodedPass& CurrentPass();
  DecodedJob* job_;
  bool keep_rows_;
};

// Passes every call on to each of several visitors, in order.
class VisitorList : public StreamVisitor {
 public:
  explicit VisitorList(std::vector<StreamVisitor*> visitors) : visitors_(std::move(visitors)) {}
  void OnJobStart() override;
  void OnPageStart(const PageInfo& page) override;
  void OnCopyStart(const PageInfo& page, int copy) override;
  void OnPassStart(const PageInfo& page, const PassInfo& pass) override;
  void OnSkip(const PassInfo& pass, std::int64_t line, int count) override;
  void OnRow(const PageInfo& page, const PassInfo& pass, const Row& row) override;
  void OnPassEnd(const PageInfo& page, const PassInfo& pass, const PassStats& stats) override;
  void OnGlossPass(const PageInfo& page, int copy, std::int64_t offset) override;
  void OnCopyEnd(const PageInfo& page, int copy, bool closed) override;
  void OnPageEnd(const PageInfo& page) override;
  void OnJobEnd(std::int64_t offset) override;
  void OnWarning(std::int64_t offset, const std::string& message) override;

 private:
  std::vector<StreamVisitor*> visitors_;
};

DecodedJob DecodeStream(std::span<const std::uint8_t> bytes, const DecodeOptions& options = {},
                        bool keep_rows = true);

// Dot values of a row: 0 or 1 per pixel for 1-bit rows, the 4-bit code for
// 4-bit rows; `width` pixels from the row's start (beyond the row: 0).
std::vector<std::uint8_t> UnpackRow(std::span<const std::uint8_t> row, int row_bits, int width);

// Ink in a row: set dots (1-bit) or the sum of dot codes (4-bit).
std::int64_t RowInk(std::span<const std::uint8_t> row, int row_bits);

// "0", "1 or 2", "none": the modes in a mode mask, for messages.
std::string DescribeModes(unsigned mode_mask);

}  // namespace zelt::stream
