// The printer stream decoder: a lexer that cuts the byte stream into commands
// and a recursive-descent parser that checks their order, page by page.
#include "tools/stream_decoder.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zelt::stream {
namespace {

// ---------------------------------------------------------------------------
// Input: a window on the stream that grows to hold the longest command (a row
// of 65535 bytes plus its header) and otherwise keeps one chunk.

class Input {
 public:
  explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  Input(const ReadFunction& read, std::size_t chunk)
      : read_(&read), chunk_(std::max<std::size_t>(chunk, 64)) {}

  // Up to `n` bytes from the current position; fewer only at the end of the
  // input (or after a read error, which read_failed() then reports).
  std::span<const std::uint8_t> Peek(std::size_t n) {
    if (read_ == nullptr) {
      std::size_t left = bytes_.size() - static_cast<std::size_t>(offset_);
      return bytes_.subspan(static_cast<std::size_t>(offset_), std::min(n, left));
    }
    while (end_ - start_ < n && !at_end_) Fill(n);
    return {buffer_.data() + start_, std::min(n, end_ - start_)};
  }

  // Moves past `n` bytes that Peek() returned.
  void Advance(std::size_t n) {
    offset_ += static_cast<std::int64_t>(n);
    if (read_ != nullptr) start_ += n;
  }

  std::int64_t offset() const { return offset_; }
  bool read_failed() const { return read_failed_; }

 private:
  void Fill(std::size_t want) {
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    std::size_t need = std::max(want, end_ + chunk_);
    if (buffer_.size() < need) buffer_.resize(need);
    long got = (*read_)(buffer_.data() + end_, buffer_.size() - end_);
    if (got <= 0) {
      at_end_ = true;
      read_failed_ = got < 0;
      return;
    }
    end_ += static_cast<std::size_t>(got);
  }

  std::span<const std::uint8_t> bytes_;
  const ReadFunction* read_ = nullptr;
  std::size_t chunk_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0, end_ = 0;
  bool at_end_ = false;
  bool read_failed_ = false;
  std::int64_t offset_ = 0;
};

// ---------------------------------------------------------------------------
// Commands.

enum class Kind {
  kEnd,  // no more bytes
  kEscE,
  kJobStartPercent,
  kJobStartA,
  kJobEnd,
  kFormFeed,
  kResolution,
  kPageLengthCode,
  kMediaPosition,
  kMediaType,
  kPageLength,
  kU,
  kO,
  kPassEnd,
  kColorSelect,
  kWhiteTail,
  kRU,
  kRA,
  kRC,
  kBM,
  kSkip,
  kRow,
  kBoxDefinition,
  kBoxPrint,
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kEnd:
      return "the end of the stream";
    case Kind::kEscE:
      return "ESC e";
    case Kind::kJobStartPercent:
      return "job-start ESC % 0x80 A";
    case Kind::kJobStartA:
      return "job-start ESC 0x1A 00 00 A";
    case Kind::kJobEnd:
      return "job-end sequence";
    case Kind::kFormFeed:
      return "form feed";
    case Kind::kResolution:
      return "resolution command";
    case Kind::kPageLengthCode:
      return "page-length code command";
    case Kind::kMediaPosition:
      return "media position command";
    case Kind::kMediaType:
      return "media type command";
    case Kind::kPageLength:
      return "page length command";
    case Kind::kU:
      return "U command";
    case Kind::kO:
      return "O command";
    case Kind::kPassEnd:
      return "pass end command";
    case Kind::kColorSelect:
      return "colour select command";
    case Kind::kWhiteTail:
      return "White select tail";
    case Kind::kRU:
      return "rU command";
    case Kind::kRA:
      return "rA command";
    case Kind::kRC:
      return "rC command";
    case Kind::kBM:
      return "bM command";
    case Kind::kSkip:
      return "skip command";
    case Kind::kRow:
      return "row command";
    case Kind::kBoxDefinition:
      return "box definition command";
    case Kind::kBoxPrint:
      return "box print command";
  }
  return "?";
}

struct Token {
  Kind kind = Kind::kEnd;
  std::int64_t offset = 0;
  std::size_t size = 0;                   // bytes of the whole command
  std::array<std::uint8_t, 6> head = {};  // its first bytes
  std::size_t head_size = 0;
  int a = 0, b = 0;  // the two parameter bytes (3 and 4) where it has them
  int value = 0;     // a | b << 8
  Box box;
  std::span<const std::uint8_t> data;  // a row's dot bytes
};

std::string Hex(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t byte : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

std::string Hex8(int value) {
  std::uint8_t byte = static_cast<std::uint8_t>(value);
  return "0x" + Hex({&byte, 1});
}

std::string Describe(const Token& token) {
  std::string text = KindName(token.kind);
  if (token.kind == Kind::kEnd) return text;
  if (token.kind == Kind::kRow) return text + " of " + std::to_string(token.value) + " bytes";
  return text + " (" + Hex({token.head.data(), token.head_size}) + ")";
}

std::uint64_t Fnv(std::uint64_t hash, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
  return hash;
}
constexpr std::uint64_t kFnvBasis = 0xCBF29CE484222325ull;

// ---------------------------------------------------------------------------
// The lexer: one command of lookahead.  A token's row data stays valid until
// the next call of Peek().

class Lexer {
 public:
  explicit Lexer(Input& input) : input_(input) {}

  // The next command, or false with `error` set when the bytes at the current
  // position are no command or end inside one.
  bool Peek(Token* token, Error* error) {
    if (!have_) {
      if (!Lex(error)) return false;
      have_ = true;
    }
    *token = token_;
    return true;
  }

  void Consume() {
    input_.Advance(token_.size);
    have_ = false;
  }

  std::int64_t offset() const { return input_.offset(); }

 private:
  bool Lex(Error* error) {
    token_ = Token();
    token_.offset = input_.offset();
    auto bytes = input_.Peek(6);
    if (bytes.empty()) {
      if (input_.read_failed())
        return Fail(error, std::string("read error: ") + std::strerror(errno));
      return true;  // kEnd
    }
    if (bytes[0] == 0x0C) return Take(Kind::kFormFeed, 1);
    if (bytes[0] != 0x1B)
      return Fail(error,
                  "unexpected byte " + Hex(bytes.first(1)) + " where a command should start");
    if (bytes.size() < 2) return Truncated(error, "command", 2);
    switch (bytes[1]) {
      case 0x65:
        return Take(Kind::kEscE, 2);
      case 0x25:
        if (bytes.size() < 4) return Truncated(error, "ESC % command", 4);
        if (bytes[2] == 0x80 && bytes[3] == 0x41) return Take(Kind::kJobStartPercent, 4);
        if (bytes[2] == 0x00 && bytes[3] == 0x58) return Take(Kind::kJobEnd, 4);
        return Unknown(error, 4);
      case 0x1A:
        return LexEsc1A(bytes, error);
      case 0x26:
        return LexEscAmpersand(bytes, error);
      case 0x2A:
        return LexEscStar(bytes, error);
      default:
        return Unknown(error, 2);
    }
  }

  bool LexEsc1A(std::span<const std::uint8_t> bytes, Error* error) {
    if (bytes.size() < 5) return Truncated(error, "ESC 0x1A command", 5);
    int a = bytes[2], b = bytes[3];
    switch (bytes[4]) {
      case 0x41:
        if (a == 0 && b == 0) return Take(Kind::kJobStartA, 5);
        break;
      case 0x55:
        if (b == 0) return Take(Kind::kU, 5);
        break;
      case 0x4F:
        if (b == 0) return Take(Kind::kO, 5);
        break;
      case 0x0C:
        if (a == 0 && b == 0) return Take(Kind::kPassEnd, 5);
        break;
      case 0x72:
        return Take(Kind::kColorSelect, 5);
      case 0x58:
        if (a == 0 && b == 1) return Take(Kind::kWhiteTail, 5);
        break;
    }
    return Unknown(error, 5);
  }

  bool LexEscAmpersand(std::span<const std::uint8_t> bytes, Error* error) {
    if (bytes.size() < 3) return Truncated(error, "ESC & command", 6);
    if (bytes[2] != 0x6C) return Unknown(error, 3);
    if (bytes.size() < 6) return Truncated(error, "ESC & l command", 6);
    switch (bytes[5]) {
      case 0x41:
        return Take(Kind::kPageLengthCode, 6);
      case 0x48:
        return Take(Kind::kMediaPosition, 6);
      case 0x4D:
        return Take(Kind::kMediaType, 6);
      case 0x50:
        return Take(Kind::kPageLength, 6);
    }
    return Unknown(error, 6);
  }

  bool LexEscStar(std::span<const std::uint8_t> bytes, Error* error) {
    if (bytes.size() < 3) return Truncated(error, "ESC * command", 4);
    switch (bytes[2]) {
      case 0x74:  // ESC * t r R
        if (bytes.size() < 5) return Truncated(error, "resolution command", 5);
        if (bytes[4] == 0x52) return Take(Kind::kResolution, 5);
        return Unknown(error, 5);
      case 0x72:  // ESC * r C, ESC * r n U, ESC * r a A
        if (bytes.size() < 4) return Truncated(error, "ESC * r command", 4);
        if (bytes[3] == 0x43) return Take(Kind::kRC, 4);
        if (bytes.size() < 5) return Truncated(error, "ESC * r command", 5);
        if (bytes[4] == 0x55) return Take(Kind::kRU, 5);
        if (bytes[4] == 0x41) return Take(Kind::kRA, 5);
        return Unknown(error, 5);
      case 0x62:  // ESC * b: skip, row, bM
        if (bytes.size() < 6) return Truncated(error, "ESC * b command", 6);
        if (bytes[5] == 0x59) return Take(Kind::kSkip, 6);
        if (bytes[5] == 0x4D && bytes[3] == 0 && bytes[4] == 0) return Take(Kind::kBM, 6);
        if (bytes[5] == 0x57) return TakeRow(error);
        return Unknown(error, 6);
      case 0x63:  // ESC * c: box definition and box print
        if (bytes.size() < 6) return Truncated(error, "box command", 6);
        if (bytes[4] == 0x01 && bytes[5] == 0x52) return TakeBox(error);
        if (bytes[4] == 0x00 && bytes[5] == 0x50) return Take(Kind::kBoxPrint, 6);
        return Unknown(error, 6);
    }
    return Unknown(error, 3);
  }

  bool Take(Kind kind, std::size_t size) {
    auto bytes = input_.Peek(size);
    token_.kind = kind;
    token_.size = size;
    token_.head_size = std::min<std::size_t>(size, token_.head.size());
    std::copy_n(bytes.begin(), token_.head_size, token_.head.begin());
    if (size >= 5) {
      token_.a = bytes[3];
      token_.b = bytes[4];
      token_.value = token_.a | token_.b << 8;
    }
    if (kind == Kind::kColorSelect || kind == Kind::kU || kind == Kind::kO) {
      token_.a = bytes[2];  // ESC 0x1A c f 'r': parameters in bytes 2 and 3
      token_.b = bytes[3];
    }
    if (kind == Kind::kRU || kind == Kind::kRA || kind == Kind::kResolution ||
        kind == Kind::kBoxPrint)
      token_.a = bytes[3];
    return true;
  }

  bool TakeRow(Error* error) {
    Take(Kind::kRow, 6);
    std::size_t size = 6 + static_cast<std::size_t>(token_.value);
    auto bytes = input_.Peek(size);
    if (bytes.size() < size) return Truncated(error, "row command", size, bytes.size());
    token_.size = size;
    token_.data = bytes.subspan(6);
    return true;
  }

  bool TakeBox(Error* error) {
    auto bytes = input_.Peek(14);
    if (bytes.size() < 14) return Truncated(error, "box definition command", 14, bytes.size());
    Take(Kind::kBoxDefinition, 14);
    token_.a = bytes[3];
    auto word = [&](int at) { return bytes[at] | bytes[at + 1] << 8; };
    token_.box = {word(6), word(8), word(10), word(12)};
    return true;
  }

  bool Truncated(Error* error, const char* what, std::size_t need, std::size_t have = 0) {
    if (have == 0) have = input_.Peek(need).size();
    if (input_.read_failed())
      return Fail(error, std::string("read error: ") + std::strerror(errno));
    return Fail(error, std::string("stream ends inside a ") + what + " (" + std::to_string(have) +
                           " of " + std::to_string(need) + " bytes)");
  }

  bool Unknown(Error* error, std::size_t shown) {
    return Fail(error, "unknown command " + Hex(input_.Peek(shown)));
  }

  bool Fail(Error* error, std::string message) {
    error->offset = token_.offset;
    error->message = std::move(message);
    return false;
  }

  Input& input_;
  Token token_;
  bool have_ = false;
};

// ---------------------------------------------------------------------------
// The parser.

constexpr unsigned kAllModes = (1u << kColorModes) - 1;

bool IsPageStart(Kind kind) {
  return kind == Kind::kResolution || kind == Kind::kPageLengthCode ||
         kind == Kind::kMediaPosition || kind == Kind::kMediaType;
}

bool IsCopyStart(Kind kind) {
  return kind == Kind::kO || kind == Kind::kRU || kind == Kind::kPassEnd || kind == Kind::kFormFeed;
}

// Per-copy bookkeeping of the passes sent.
struct CopyState {
  int index = 0;
  int last_plane = -1;   // plane of the latest pass, -1 before any
  int last_flag = -1;    // its flag
  bool flagged = false;  // a pass carried flag 1
  bool gloss = false;
  std::int64_t first_pass_offset = 0;
};

class Parser {
 public:
  Parser(Input& input, StreamVisitor& visitor, const DecodeOptions& options, Error* error)
      : lexer_(input), visitor_(visitor), options_(options), error_(error) {}

  bool Run() {
    if (!ParseJobStart()) return false;
    visitor_.OnJobStart();
    for (;;) {
      Token token;
      if (!Peek(&token)) return false;
      if (token.kind == Kind::kJobEnd) {
        lexer_.Consume();
        if (!Peek(&token)) {
          error_->message = "bytes after the job-end sequence: " + error_->message;
          return false;
        }
        if (token.kind != Kind::kEnd)
          return Fail(token.offset, "bytes after the job-end sequence: " + Describe(token));
        visitor_.OnJobEnd(token.offset);
        return true;
      }
      if (!IsPageStart(token.kind))
        return Unexpected(token, "a page's first command or the job-end sequence");
      if (!ParsePage()) return false;
    }
  }

 private:
  // --- helpers -------------------------------------------------------------

  bool Peek(Token* token) { return lexer_.Peek(token, error_); }

  bool Fail(std::int64_t offset, std::string message) {
    error_->offset = offset;
    error_->message = std::move(message);
    return false;
  }

  bool Unexpected(const Token& token, const std::string& expected) {
    if (token.kind == Kind::kEnd)
      return Fail(token.offset,
                  "stream ends without the job-end sequence (expected " + expected + ")");
    std::string found = Describe(token);
    if (token.kind == Kind::kRow || token.kind == Kind::kSkip)
      return Fail(token.offset, found + " outside a plane pass (expected " + expected + ")");
    return Fail(token.offset, "expected " + expected + ", found " + found);
  }

  // Takes the next command, which must be of `kind`; where `a` or `b` are not
  // -1 its parameters must match them too.
  bool Expect(Kind kind, Token* token, int a = -1, int b = -1) {
    if (!Peek(token)) return false;
    std::string name = KindName(kind);
    if (token->kind != kind) return Unexpected(*token, name);
    if ((a >= 0 && token->a != a) || (b >= 0 && token->b != b)) {
      std::string want = name + " with " + Hex8(a);
      if (b >= 0) want += " " + Hex8(b);
      return Fail(token->offset, "expected " + want + ", found " + Describe(*token));
    }
    lexer_.Consume();
    return true;
  }

  bool Expect(Kind kind, int a = -1, int b = -1) {
    Token token;
    return Expect(kind, &token, a, b);
  }

  void Warn(std::int64_t offset, const std::string& message) {
    visitor_.OnWarning(offset, message);
  }

  // --- job -----------------------------------------------------------------

  bool ParseJobStart() {
    for (int i = 0; i < 3; ++i)
      if (!Expect(Kind::kEscE)) return false;
    return Expect(Kind::kJobStartPercent) && Expect(Kind::kJobStartA);
  }

  // --- page ----------------------------------------------------------------

  bool ParsePage() {
    page_ = PageInfo();
    page_.index = page_count_++;
    hint_ = page_.index < static_cast<int>(options_.pages.size()) ? options_.pages[page_.index]
                                                                  : options_.hint;
    first_digest_.fill(std::nullopt);
    copy0_last_with_rows_ = -1;

    std::int64_t u_offset = -1;
    if (!ParsePageSetup(&u_offset)) return false;

    int flag = -1;
    if (!ParsePreamble(&page_.preamble, &page_.preamble_offset, &flag)) return false;
    page_.mode_mask = ModesOfPreamble(page_.preamble);
    page_.planes = PlanesOfPreamble(page_.preamble);
    page_.height = (page_.setup.page_length + 0xFFFF) & 0xFFFF;
    if (!ApplyHint()) return false;
    page_.row_length = hint_.row_length;
    if (page_.preamble.variable_dot && u_offset >= 0)
      return Fail(u_offset, "page-start U command on a variable-dot page");
    page_.glossy = page_.preamble.variable_dot ? page_.preamble.gloss_box.has_value()
                                               : page_.preamble.o_form == 0;
    page_.row_bits = Facts(static_cast<ColorMode>(std::countr_zero(page_.mode_mask))).bits_per_dot;
    visitor_.OnPageStart(page_);

    CopyState copy;
    copy.first_pass_offset = page_.preamble_offset;
    visitor_.OnCopyStart(page_, 0);
    if (!ParsePass(&copy, 0, page_.preamble_offset, page_.preamble.color_code, flag)) return false;

    for (;;) {
      if (!ParseCopyRest(&copy)) return false;
      Token token;
      if (!Peek(&token)) return false;
      if (token.kind != Kind::kFormFeed) {
        if (copy.index == 0 && !copy.gloss &&
            (IsPageStart(token.kind) || token.kind == Kind::kJobEnd)) {
          page_.unclosed_copy = true;  // NumCopies 0: no page end at all
          visitor_.OnCopyEnd(page_, 0, false);
          break;
        }
        return Unexpected(token, "the page end sequence");
      }
      if (!FinishCopy(copy, token.offset)) return false;
      ++page_.copies;
      visitor_.OnCopyEnd(page_, copy.index, true);

      if (!Peek(&token)) return false;
      if (!IsCopyStart(token.kind)) break;
      int next = copy.index + 1;
      copy = CopyState();
      copy.index = next;
      copy.first_pass_offset = token.offset;
      visitor_.OnCopyStart(page_, copy.index);
      if (token.kind == Kind::kO || token.kind == Kind::kRU) {
        Preamble again;
        std::int64_t offset = 0;
        if (!ParsePreamble(&again, &offset, &flag)) return false;
        if (!(again == page_.preamble))
          return Fail(offset, "plane 0's sequence in copy " + std::to_string(next + 1) +
                                  " differs from the first copy's");
        if (!ParsePass(&copy, 0, offset, again.color_code, flag)) return false;
      }
    }
    visitor_.OnPageEnd(page_);
    return true;
  }

  // Resolution, page-length code and media position (each optional), media
  // type, the U command (optional) and the page length, in this order.
  bool ParsePageSetup(std::int64_t* u_offset) {
    PageSetup& setup = page_.setup;
    Token token;
    if (!Peek(&token)) return false;
    setup.offset = token.offset;
    if (token.kind == Kind::kResolution) {
      if (token.a < 2 || token.a > 4)
        return Fail(token.offset, "resolution code " + Hex8(token.a) + " is not 2, 3 or 4");
      setup.resolution_code = token.a;
      lexer_.Consume();
      if (!Peek(&token)) return false;
    }
    if (token.kind == Kind::kPageLengthCode) {
      if (token.a < 2 || token.a > 6 || token.b != 0)
        return Fail(token.offset, "page-length code " + Hex8(token.a) + " " + Hex8(token.b) +
                                      " is not 2 to 6 with a zero high byte");
      setup.page_size_code = token.a;
      lexer_.Consume();
      if (!Peek(&token)) return false;
    }
    if (token.kind == Kind::kMediaPosition) {
      if (token.b != 0) return Fail(token.offset, "media position with a non-zero second byte");
      setup.media_position = token.a;
      lexer_.Consume();
    }
    if (!Expect(Kind::kMediaType, &token)) return false;
    setup.media_type = token.value;
    if (!Peek(&token)) return false;
    if (token.kind == Kind::kU && token.a == 0) {
      setup.u_command = true;
      *u_offset = token.offset;
      lexer_.Consume();
    }
    if (!Expect(Kind::kPageLength, &token)) return false;
    setup.page_length = token.value;
    return true;
  }

  // Plane 0's full command sequence, in either of its two forms.  `flag` is
  // its colour select flag, -1 without colour select.
  bool ParsePreamble(Preamble* preamble, std::int64_t* offset, int* flag) {
    *preamble = Preamble();
    *flag = -1;
    Token token;
    if (!Peek(&token)) return false;
    *offset = token.offset;
    if (token.kind == Kind::kO) {
      if (token.a > 1) return Fail(token.offset, "O command with g = " + Hex8(token.a));
      preamble->o_form = token.a;
      lexer_.Consume();
      if (!Expect(Kind::kRU, &token)) return false;
      if (token.a != 0 && token.a != 4)
        return Fail(token.offset, "rU command with n = " + Hex8(token.a) +
                                      " in plane 0's sequence (expected 0x00 or 0x04)");
      preamble->ru = token.a;
      if (!Expect(Kind::kRA, 0) || !Expect(Kind::kBM)) return false;
      if (!Peek(&token)) return false;
      if (token.kind != Kind::kColorSelect) {
        if (preamble->ru != 0) return Unexpected(token, "plane 0's colour select (rU n = 0x04)");
        return true;
      }
      if (preamble->ru != 4)
        return Fail(token.offset, "colour select after rU n = 0x00 (a one-plane sequence)");
      lexer_.Consume();
      if (token.a == 0x0B) {
        if (token.b != 0x80) return Fail(token.offset, "White select with flag " + Hex8(token.b));
        preamble->white_select = true;
        preamble->color_code = 0x0B;
        return Expect(Kind::kWhiteTail);
      }
      if (token.a != 1 && token.a != 3 && token.a != 4)
        return Fail(token.offset,
                    "colour code " + Hex8(token.a) + " opens plane 0 in no colour mode");
      preamble->color_code = token.a;
      return TakeFlag(token, flag);
    }
    if (token.kind == Kind::kRU && token.a == 8) {
      preamble->variable_dot = true;
      preamble->ru = 8;
      lexer_.Consume();
      if (!Expect(Kind::kO, &token)) return false;
      if (token.a != 1)
        return Fail(token.offset, "variable-dot sequence with O command g = " + Hex8(token.a) +
                                      " (expected the plain form 0x01)");
      if (!Peek(&token)) return false;
      if (token.kind == Kind::kBoxDefinition && token.a == 1) {
        preamble->gloss_box = token.box;
        lexer_.Consume();
        if (!Peek(&token)) return false;
      }
      if (token.kind == Kind::kU) {
        if (token.a != 0x11 && token.a != 0x12 && token.a != 0x92)
          return Fail(token.offset,
                      "U command with u = " + Hex8(token.a) + " in the variable-dot media step");
        preamble->media_u = token.a;
        lexer_.Consume();
      } else if (token.kind == Kind::kBoxDefinition && token.a == 0) {
        preamble->pre_pass_box = token.box;
        lexer_.Consume();
        if (!Expect(Kind::kU, 0x01) || !Expect(Kind::kRA, 0x02) ||
            !Expect(Kind::kColorSelect, 0x10, 0x03) || !Expect(Kind::kBoxPrint, 0) ||
            !Expect(Kind::kPassEnd) || !Expect(Kind::kRC) || !Expect(Kind::kU, 0x91))
          return false;
        preamble->media_u = 0x91;
      } else {
        return Unexpected(token, "the variable-dot media step (U command or box 0 definition)");
      }
      if (!Expect(Kind::kRA, 0) || !Expect(Kind::kBM)) return false;
      if (preamble->media_u == 0x12 || preamble->media_u == 0x92) return true;
      if (!Expect(Kind::kColorSelect, &token)) return false;
      if (token.a != 1)
        return Fail(token.offset, "variable-dot plane 0 with colour code " + Hex8(token.a));
      preamble->color_code = 1;
      return TakeFlag(token, flag);
    }
    return Unexpected(token, "plane 0's command sequence (O command or rU 0x08)");
  }

  bool TakeFlag(const Token& token, int* flag) {
    if (token.b > 1)
      return Fail(token.offset, "colour select with flag " + Hex8(token.b) + " (expected 0 or 1)");
    *flag = token.b;
    return true;
  }

  static unsigned ModesOfPreamble(const Preamble& preamble) {
    if (preamble.variable_dot) return 1u << 5;
    if (preamble.white_select) return 1u << 4;
    switch (preamble.color_code) {
      case 1:
        return 1u << 0;
      case 3:
        return 1u << 3;
      case 4:
        return 1u << 1 | 1u << 2;
    }
    return 1u << 0;  // one plane, no colour select
  }

  static int PlanesOfPreamble(const Preamble& preamble) {
    if (preamble.color_code < 0 || preamble.white_select) return 1;
    return preamble.color_code == 3 && !preamble.variable_dot ? 3 : 4;
  }

  bool ApplyHint() {
    if (hint_.color_mode >= 0) {
      unsigned bit = hint_.color_mode < kColorModes ? 1u << hint_.color_mode : 0;
      if ((page_.mode_mask & bit) == 0)
        return Fail(page_.preamble_offset,
                    "plane 0's sequence fits colour mode " + DescribeModes(page_.mode_mask) +
                        ", not the expected mode " + std::to_string(hint_.color_mode));
      page_.mode_mask = bit;
    }
    if (hint_.planes >= 0 && hint_.planes != page_.planes)
      return Fail(page_.preamble_offset, "plane 0's sequence opens a page of " +
                                             std::to_string(page_.planes) + " planes, not " +
                                             std::to_string(hint_.planes));
    if (hint_.height >= 0) {
      if ((hint_.height & 0xFFFF) != page_.height)
        return Fail(page_.setup.offset, "page length " + std::to_string(page_.setup.page_length) +
                                            " does not fit a page of " +
                                            std::to_string(hint_.height) + " lines");
      page_.height = hint_.height;
    }
    return true;
  }

  // --- copies --------------------------------------------------------------

  // The further planes of a copy and its gloss pass, up to its page end.
  bool ParseCopyRest(CopyState* copy) {
    for (;;) {
      Token token;
      if (!Peek(&token)) return false;
      if (token.kind != Kind::kPassEnd) return true;
      std::int64_t offset = token.offset;
      lexer_.Consume();
      if (!Peek(&token)) return false;
      if (token.kind == Kind::kRC) return ParseGlossPass(copy, offset);
      if (token.kind != Kind::kColorSelect)
        return Unexpected(token, "a colour select or the gloss pass after the pass end command");
      if (page_.planes == 1) return Fail(offset, "further plane pass on a one-plane page");
      if (copy->last_plane < 0)
        return Fail(offset, "copy " + std::to_string(copy->index + 1) +
                                " opens with a further plane instead of plane 0's sequence");
      if (copy->flagged) return Fail(offset, "plane pass after the pass marked last");
      int plane = copy->last_plane + 1;
      if (plane >= page_.planes)
        return Fail(offset, "plane " + std::to_string(plane) + " on a page of " +
                                std::to_string(page_.planes) + " planes");
      unsigned fits = 0;
      for (int m = 0; m < kColorModes; ++m)
        if ((page_.mode_mask >> m & 1) && ColorCodes[m][plane] == token.a) fits |= 1u << m;
      if (fits == 0)
        return Fail(token.offset, "colour code " + Hex8(token.a) + " is not plane " +
                                      std::to_string(plane) + "'s in colour mode " +
                                      DescribeModes(page_.mode_mask));
      int flag = -1;
      if (!TakeFlag(token, &flag)) return false;
      lexer_.Consume();
      page_.mode_mask = fits;
      if (!ParsePass(copy, plane, offset, token.a, flag)) return false;
    }
  }

  bool ParseGlossPass(CopyState* copy, std::int64_t offset) {
    if (!page_.preamble.gloss_box)
      return Fail(offset, "gloss pass on a page that defined no gloss box");
    if (!Expect(Kind::kRC) || !Expect(Kind::kU, 0x01) || !Expect(Kind::kRA, 0x02) ||
        !Expect(Kind::kColorSelect, 0x0E, 0x80) || !Expect(Kind::kBoxPrint, 0x01))
      return false;
    copy->gloss = true;
    visitor_.OnGlossPass(page_, copy->index, offset);
    return true;
  }

  // Checks a copy at its page end sequence (at `offset`) and takes the
  // sequence.
  bool FinishCopy(const CopyState& copy, std::int64_t offset) {
    lexer_.Consume();
    if (!Expect(Kind::kRC)) return false;
    bool only_first_plane0 = copy.index == 0 && copy.last_plane == 0;
    if (page_.planes > 1 && copy.last_plane >= 0 && !only_first_plane0 && copy.last_flag != 1)
      return Fail(offset, "copy " + std::to_string(copy.index + 1) +
                              " ends after a pass without the last-plane flag");
    if (page_.preamble.gloss_box && !copy.gloss)
      return Fail(offset, "copy " + std::to_string(copy.index + 1) +
                              " of a glossy variable-dot page ends without the gloss pass");
    if (copy.index > 0 && copy.last_plane != copy0_last_with_rows_)
      Warn(offset, "copy " + std::to_string(copy.index + 1) + " sends planes up to " +
                       std::to_string(copy.last_plane) + ", the first copy's rows end at plane " +
                       std::to_string(copy0_last_with_rows_));
    return true;
  }

  // --- passes and rows -----------------------------------------------------

  bool ParsePass(CopyState* copy, int plane, std::int64_t offset, int color_code, int flag) {
    PassInfo pass;
    pass.page = page_.index;
    pass.copy = copy->index;
    pass.plane = plane;
    pass.offset = offset;
    pass.color_code = color_code;
    pass.flag = flag;
    visitor_.OnPassStart(page_, pass);
    PassStats stats;
    if (!ParseRows(pass, &stats)) return false;
    visitor_.OnPassEnd(page_, pass, stats);

    copy->last_plane = plane;
    copy->last_flag = flag;
    if (flag == 1) copy->flagged = true;
    if (copy->index == 0) {
      first_digest_[plane] = stats.digest;
      if (stats.rows > 0) copy0_last_with_rows_ = plane;
    } else if (first_digest_[plane] && *first_digest_[plane] != stats.digest) {
      Warn(offset, "copy " + std::to_string(copy->index + 1) + " sends plane " +
                       std::to_string(plane) + " with other rows than the first copy");
    }
    return true;
  }

  bool ParseRows(const PassInfo& pass, PassStats* stats) {
    std::int64_t line = 0;
    std::int64_t skip_offset = -1;  // a skip command still waiting for its row
    int skip_count = 0;
    stats->digest = kFnvBasis;
    for (;;) {
      Token token;
      if (!Peek(&token)) return false;
      if (token.kind == Kind::kSkip) {
        if (token.value == 0) return Fail(token.offset, "skip command with a count of 0");
        if (skip_offset >= 0 && skip_count != 0xFFFF)
          return Fail(token.offset, "two skip commands in a row");
        visitor_.OnSkip(pass, line, token.value);
        line += token.value;
        skip_offset = token.offset;
        skip_count = token.value;
        ++stats->skips;
        stats->skipped_lines += token.value;
      } else if (token.kind == Kind::kRow) {
        if (!CheckRow(token, line)) return false;
        Row row{token.offset, line, token.data};
        visitor_.OnRow(page_, pass, row);
        std::int64_t ink = RowInk(token.data, page_.row_bits);
        if (ink == 0 && stats->blank_rows++ == 0)
          Warn(token.offset, "row command whose bytes are all zero");
        stats->ink += ink;
        ++stats->rows;
        stats->digest = Fnv(stats->digest, token.data);
        ++line;
        skip_offset = -1;
      } else {
        break;
      }
      stats->digest = Fnv(stats->digest, {token.head.data(), token.head_size});
      stats->bytes += static_cast<std::int64_t>(token.size);
      stats->end_line = line;
      lexer_.Consume();
    }
    if (skip_offset >= 0) return Fail(skip_offset, "skip command not followed by a row");
    return true;
  }

  bool CheckRow(const Token& token, std::int64_t line) {
    int length = token.value;
    if (length == 0) return Fail(token.offset, "row command of 0 bytes");
    int expected = page_.row_length;
    if (expected >= 0 && length != expected)
      return Fail(token.offset, "row of " + std::to_string(length) + " bytes is " +
                                    (length > expected ? "longer" : "shorter") +
                                    " than the page's rows of " + std::to_string(expected) +
                                    " bytes");
    page_.row_length = length;
    // The page length tells the height only modulo 65536: without the
    // raster's height, a row further down shows a taller page.
    if (hint_.height < 0)
      while (line >= page_.height) page_.height += 0x10000;
    const long height = page_.height;
    if (height >= 0 && line >= height)
      return Fail(token.offset, "row at line " + std::to_string(line) +
                                    " is past the page's last line (the page has " +
                                    std::to_string(height) + " lines)");
    return true;
  }

  Lexer lexer_;
  StreamVisitor& visitor_;
  const DecodeOptions& options_;
  Error* error_;

  int page_count_ = 0;
  PageInfo page_;
  PageHint hint_;
  std::array<std::optional<std::uint64_t>, kMaxPlanes> first_digest_;
  int copy0_last_with_rows_ = -1;
};

}  // namespace

int PageInfo::ColorMode() const {
  return std::popcount(mode_mask) == 1 ? std::countr_zero(mode_mask) : -1;
}

const DecodedPass* DecodedPage::Pass(int copy, int plane) const {
  if (copy < 0 || copy >= static_cast<int>(copies.size())) return nullptr;
  for (const DecodedPass& pass : copies[copy].passes)
    if (pass.info.plane == plane) return &pass;
  return nullptr;
}

bool Decode(const ReadFunction& read, StreamVisitor& visitor, const DecodeOptions& options,
            Error* error) {
  Input input(read, options.chunk_size);
  return Parser(input, visitor, options, error).Run();
}

bool DecodeBytes(std::span<const std::uint8_t> bytes, StreamVisitor& visitor,
                 const DecodeOptions& options, Error* error) {
  Input input(bytes);
  return Parser(input, visitor, options, error).Run();
}

bool DecodeDescriptor(int fd, StreamVisitor& visitor, const DecodeOptions& options, Error* error) {
  ReadFunction read = [fd](std::uint8_t* buffer, std::size_t size) -> long {
    for (;;) {
      ssize_t got = ::read(fd, buffer, size);
      if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
  };
  return Decode(read, visitor, options, error);
}

bool DecodeFile(std::FILE* file, StreamVisitor& visitor, const DecodeOptions& options,
                Error* error) {
  ReadFunction read = [file](std::uint8_t* buffer, std::size_t size) -> long {
    std::size_t got = std::fread(buffer, 1, size, file);
    if (got == 0 && std::ferror(file)) return -1;
    return static_cast<long>(got);
  };
  return Decode(read, visitor, options, error);
}

void JobBuilder::OnPageStart(const PageInfo& page) {
  job_->pages.emplace_back();
  job_->pages.back().info = page;
}
void JobBuilder::OnCopyStart(const PageInfo&, int) { job_->pages.back().copies.emplace_back(); }
void JobBuilder::OnPassStart(const PageInfo&, const PassInfo& pass) {
  job_->pages.back().copies.back().passes.push_back({pass, {}, {}, {}});
}
void JobBuilder::OnSkip(const PassInfo&, std::int64_t line, int count) {
  CurrentPass().skips.push_back({line, count});
}
void JobBuilder::OnRow(const PageInfo&, const PassInfo&, const Row& row) {
  if (keep_rows_)
    CurrentPass().rows.push_back({row.offset, row.line, {row.data.begin(), row.data.end()}});
}
void JobBuilder::OnPassEnd(const PageInfo& page, const PassInfo&, const PassStats& stats) {
  CurrentPass().stats = stats;
  job_->pages.back().info = page;
}
void JobBuilder::OnGlossPass(const PageInfo&, int, std::int64_t) {
  job_->pages.back().copies.back().gloss_pass = true;
}
void JobBuilder::OnCopyEnd(const PageInfo& page, int, bool closed) {
  job_->pages.back().copies.back().closed = closed;
  job_->pages.back().info = page;
}
void JobBuilder::OnPageEnd(const PageInfo& page) { job_->pages.back().info = page; }
void JobBuilder::OnJobEnd(std::int64_t offset) { job_->size = offset; }
void JobBuilder::OnWarning(std::int64_t offset, const std::string& message) {
  job_->warnings.push_back({offset, message});
}
DecodedPass& JobBuilder::CurrentPass() { return job_->pages.back().copies.back().passes.back(); }

void VisitorList::OnJobStart() {
  for (auto* v : visitors_) v->OnJobStart();
}
void VisitorList::OnPageStart(const PageInfo& page) {
  for (auto* v : visitors_) v->OnPageStart(page);
}
void VisitorList::OnCopyStart(const PageInfo& page, int copy) {
  for (auto* v : visitors_) v->OnCopyStart(page, copy);
}
void VisitorList::OnPassStart(const PageInfo& page, const PassInfo& pass) {
  for (auto* v : visitors_) v->OnPassStart(page, pass);
}
void VisitorList::OnSkip(const PassInfo& pass, std::int64_t line, int count) {
  for (auto* v : visitors_) v->OnSkip(pass, line, count);
}
void VisitorList::OnRow(const PageInfo& page, const PassInfo& pass, const Row& row) {
  for (auto* v : visitors_) v->OnRow(page, pass, row);
}
void VisitorList::OnPassEnd(const PageInfo& page, const PassInfo& pass, const PassStats& stats) {
  for (auto* v : visitors_) v->OnPassEnd(page, pass, stats);
}
void VisitorList::OnGlossPass(const PageInfo& page, int copy, std::int64_t offset) {
  for (auto* v : visitors_) v->OnGlossPass(page, copy, offset);
}
void VisitorList::OnCopyEnd(const PageInfo& page, int copy, bool closed) {
  for (auto* v : visitors_) v->OnCopyEnd(page, copy, closed);
}
void VisitorList::OnPageEnd(const PageInfo& page) {
  for (auto* v : visitors_) v->OnPageEnd(page);
}
void VisitorList::OnJobEnd(std::int64_t offset) {
  for (auto* v : visitors_) v->OnJobEnd(offset);
}
void VisitorList::OnWarning(std::int64_t offset, const std::string& message) {
  for (auto* v : visitors_) v->OnWarning(offset, message);
}

DecodedJob DecodeStream(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                        bool keep_rows) {
  DecodedJob job;
  JobBuilder builder(&job, keep_rows);
  job.ok = DecodeBytes(bytes, builder, options, &job.error);
  return job;
}

std::vector<std::uint8_t> UnpackRow(std::span<const std::uint8_t> row, int row_bits, int width) {
  std::vector<std::uint8_t> dots(static_cast<std::size_t>(std::max(width, 0)), 0);
  int per_byte = 8 / row_bits;
  for (int x = 0; x < width; ++x) {
    std::size_t at = static_cast<std::size_t>(x / per_byte);
    if (at >= row.size()) break;
    int shift = 8 - row_bits * (x % per_byte + 1);
    dots[x] = static_cast<std::uint8_t>(row[at] >> shift & ((1 << row_bits) - 1));
  }
  return dots;
}

std::int64_t RowInk(std::span<const std::uint8_t> row, int row_bits) {
  std::int64_t ink = 0;
  if (row_bits == 1) {
    for (std::uint8_t byte : row) ink += std::popcount(byte);
  } else {
    for (std::uint8_t byte : row) ink += (byte >> 4) + (byte & 15);
  }
  return ink;
}

std::string DescribeModes(unsigned mode_mask) {
  std::string text;
  int count = std::popcount(mode_mask & kAllModes), seen = 0;
  if (count == 0) return "none";
  for (int m = 0; m < kColorModes; ++m) {
    if ((mode_mask >> m & 1) == 0) continue;
    if (seen > 0) text += seen == count - 1 ? " or " : ", ";
    text += std::to_string(m);
    ++seen;
  }
  return text;
}

}  // namespace zelt::stream
