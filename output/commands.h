// The printer's command vocabulary and the writers that put commands on the
// wire.
//
// Commands are escape sequences with raw byte parameters, and most contain NUL
// bytes, so every command is a counted run of bytes written to the buffered
// standard output stream; nothing here is a C string.  A two-byte parameter is
// a 16-bit value, low byte first; higher bits are dropped.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

inline constexpr std::uint8_t kEsc = 0x1B;

using Bytes = std::span<const std::uint8_t>;

// Writes a counted run of bytes to standard output (buffered).
inline void WriteBytes(Bytes bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }
template <std::size_t N>
void WriteCommand(const std::array<std::uint8_t, N>& command) {
  std::fwrite(command.data(), 1, N, stdout);
}

// The low 16 bits of n, low byte first, at out[0] and out[1].
constexpr void PutLe16(std::uint8_t* out, std::uint32_t n) {
  out[0] = static_cast<std::uint8_t>(n & 0xFF);
  out[1] = static_cast<std::uint8_t>((n >> 8) & 0xFF);
}

// One command's bytes; constants where the bytes are fixed, constexpr
// builders where they carry parameters.
template <std::size_t N>
using Command = std::array<std::uint8_t, N>;

// Job framing.
inline constexpr Command<2> kJobReset = {kEsc, 'e'};
inline constexpr Command<4> kJobStartMode = {kEsc, '%', 0x80, 'A'};
inline constexpr Command<5> kJobStartSelect = {kEsc, 0x1A, 0x00, 0x00, 'A'};
inline constexpr Command<4> kJobEnd = {kEsc, '%', 0x00, 'X'};

// Page start.  The parameterised ones are built by the helpers below.
inline constexpr Command<5> kUCommandPageStart = {kEsc, 0x1A, 0x00, 0x00, 'U'};

constexpr Command<5> ResolutionCommand(std::uint8_t code) { return {kEsc, '*', 't', code, 'R'}; }
constexpr Command<6> AmpLCommand(std::uint32_t value, std::uint8_t letter) {
  Command<6> c = {kEsc, '&', 'l', 0, 0, letter};
  PutLe16(&c[3], value);
  return c;
}

// Plane commands.
constexpr Command<5> OCommand(bool glossy) {
  return {kEsc, 0x1A, static_cast<std::uint8_t>(glossy ? 0x00 : 0x01), 0x00, 'O'};
}
constexpr Command<5> RUCommand(std::uint8_t n) { return {kEsc, '*', 'r', n, 'U'}; }
constexpr Command<5> RACommand(std::uint8_t a) { return {kEsc, '*', 'r', a, 'A'}; }
constexpr Command<5> UCommand(std::uint8_t u) { return {kEsc, 0x1A, u, 0x00, 'U'}; }
constexpr Command<5> ColorSelectCommand(std::uint8_t code, std::uint8_t flag) {
  return {kEsc, 0x1A, code, flag, 'r'};
}
inline constexpr Command<6> kBMCommand = {kEsc, '*', 'b', 0x00, 0x00, 'M'};
inline constexpr Command<4> kRCCommand = {kEsc, '*', 'r', 'C'};
inline constexpr Command<5> kPassEnd = {kEsc, 0x1A, 0x00, 0x00, 0x0C};
inline constexpr Command<10> kWhiteSelect = {kEsc, 0x1A, 0x0B, 0x80, 'r',
                                             kEsc, 0x1A, 0x00, 0x01, 'X'};
inline constexpr Command<5> kPageEnd = {0x0C, kEsc, '*', 'r', 'C'};

// The print box of a variable-dot page, in raster dots.
struct PrintBox {
  std::uint32_t x, y, width, height;
};
constexpr Command<14> BoxDefinitionCommand(std::uint8_t box, PrintBox b) {
  Command<14> c = {kEsc, '*', 'c', box, 0x01, 'R'};
  PutLe16(&c[6], b.x);
  PutLe16(&c[8], b.y);
  PutLe16(&c[10], b.width);
  PutLe16(&c[12], b.height);
  return c;
}
constexpr Command<6> BoxPrintCommand(std::uint8_t box) { return {kEsc, '*', 'c', box, 0x00, 'P'}; }

// Row and skip commands: ESC * b n0 n1 W followed by n dot-row bytes, and
// ESC * b c0 c1 Y to advance the plane by c blank rows.
inline constexpr std::uint32_t kMaxCount = 0xFFFF;
constexpr Command<6> RowHeader(std::uint32_t length) {
  Command<6> c = {kEsc, '*', 'b', 0, 0, 'W'};
  PutLe16(&c[3], length);
  return c;
}
constexpr Command<6> SkipCommand(std::uint32_t rows) {
  Command<6> c = {kEsc, '*', 'b', 0, 0, 'Y'};
  PutLe16(&c[3], rows);
  return c;
}

static_assert(sizeof(kWhiteSelect) == 10 && sizeof(kPageEnd) == 5);
static_assert(BoxDefinitionCommand(1, {1, 2, 0x10003, 4})[10] == 0x03 &&
              BoxDefinitionCommand(1, {1, 2, 0x10003, 4})[11] == 0x00);
static_assert(AmpLCommand(258, 'M')[3] == 0x02 && AmpLCommand(258, 'M')[4] == 0x01);

// Colour select codes per colour mode and plane; -1 marks planes a mode does
// not have.
extern const std::array<std::array<int, 4>, 6> ColorCodes;

// True when the page asks for the glossy finish: OutputType is exactly
// "Glossy", case and length included.
bool IsGlossy(const cups_page_header_t& header);

// The print box of a variable-dot page from its imaging box, margins and page
// size, in dots at the vertical resolution.
PrintBox ComputePrintBox(const cups_page_header_t& header);

// Writes the command sequence that opens the pass of one plane.  last is the
// plane whose pass ends the copy; only its colour select carries flag 1.
void StartPlane(ppd_file_t* ppd, const cups_page_header_t* header, int plane, int last);

// Sends one data line's dot rows: plane 0 to the printer at once (and to its
// spool file when it has one), the others to their spool files.
void OutputLine(const cups_page_header_t* header);

// Sends one plane's dot row as a row command, preceded by a skip command for
// the blank rows before it; a blank row is only counted.
void compress_line(const std::uint8_t* row, int length, int plane);

// Sends the rest of the page for every copy, then closes and removes the spool
// files and releases the line buffers.
void EndPage(ppd_file_t* ppd, const cups_page_header_t* header, int page);
