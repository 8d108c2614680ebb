// The printer's command vocabulary.
//
// Commands are escape sequences with raw byte parameters, and most contain NUL
// bytes, so every command is a counted run of bytes (see Sink::Send); nothing
// here is a C string.  A two-byte parameter is a 16-bit value, low byte
// first; higher bits are dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kEsc = 0x1B;

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
