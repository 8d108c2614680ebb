// The colour modes: every fact of a mode in one table, used by the filter,
// the stream viewer, its previews and the tone reports alike.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kMaxPlanes = 4;
inline constexpr int kColorModes = 6;

// The values of PrinterColors; a mode's number is its row in every table.
enum class ColorMode : int {
  kProcess = 0,      // cyan, magenta, yellow, black; or black alone
  kGoldBlack = 1,    // gold, M. magenta, M. cyan, black
  kGoldSilver = 2,   // gold, M. magenta, M. cyan, silver
  kPhoto = 3,        // yellow, magenta, cyan; 4-bit dot codes
  kWhite = 4,        // one white plane
  kVariableDot = 5,  // grey, or cyan, magenta, yellow and a generated black
};

constexpr int Index(ColorMode mode) { return static_cast<int>(mode); }

// Which halftoning routine turns a mode's lines into dot rows.
enum class Routine { kStandard, kPhoto, kVariableDot };

// The inks a pass can print, as the colour select codes name them.
enum class Ink {
  kNone,
  kCyan,
  kMagenta,
  kYellow,
  kBlack,
  kGold,
  kMMagenta,
  kMCyan,
  kSilver,
  kWhite
};

struct ColorModeFacts {
  const char* label;  // for the viewer and the reports
  int planes;         // planes of a page; black-only and grey pages have 1
  int bits_per_dot;   // 1, or 4 for the dot-code modes
  Routine routine;
  // Plane names in the status lines.  The process-colour modes call plane 1
  // "Yellow" although it carries the raster's magenta band and is selected
  // with the magenta code; the names are the printer's, the inks are below.
  std::array<const char*, kMaxPlanes> names;
  // Colour select code of each plane's pass; -1 where the mode has no plane.
  std::array<int, kMaxPlanes> codes;
  // The ink each plane carries.
  std::array<Ink, kMaxPlanes> inks;
};

// clang-format off
inline constexpr std::array<ColorModeFacts, kColorModes> kColorModeFacts = {{
    {"CMYK", 4, 1, Routine::kStandard,
     {"Cyan", "Yellow", "Magenta", "Black"}, {1, 2, 3, 0},
     {Ink::kCyan, Ink::kMagenta, Ink::kYellow, Ink::kBlack}},
    {"Gold/Black", 4, 1, Routine::kStandard,
     {"Gold", "M. Magenta", "M. Cyan", "Black"}, {4, 5, 6, 0},
     {Ink::kGold, Ink::kMMagenta, Ink::kMCyan, Ink::kBlack}},
    {"Gold/Silver", 4, 1, Routine::kStandard,
     {"Gold", "M. Magenta", "M. Cyan", "Silver"}, {4, 5, 6, 7},
     {Ink::kGold, Ink::kMMagenta, Ink::kMCyan, Ink::kSilver}},
    {"Photo", 3, 4, Routine::kPhoto,
     {"Yellow", "Magenta", "Cyan", ""}, {3, 2, 1, -1},
     {Ink::kYellow, Ink::kMagenta, Ink::kCyan, Ink::kNone}},
    {"White", 1, 1, Routine::kStandard,
     {"White", "", "", ""}, {0x0B, -1, -1, -1},
     {Ink::kWhite, Ink::kNone, Ink::kNone, Ink::kNone}},
    {"Variable dot", 4, 4, Routine::kVariableDot,
     {"Cyan", "Yellow", "Magenta", "Black"}, {1, 2, 3, 0},
     {Ink::kCyan, Ink::kMagenta, Ink::kYellow, Ink::kBlack}},
}};
// clang-format on

constexpr const ColorModeFacts& Facts(ColorMode mode) { return kColorModeFacts[Index(mode)]; }

// The plane names and colour codes by mode and plane, as the status lines and
// the plane commands read them.
inline constexpr auto ColorNames = [] {
  std::array<std::array<const char*, kMaxPlanes>, kColorModes> t{};
  for (int m = 0; m < kColorModes; ++m) t[m] = kColorModeFacts[m].names;
  return t;
}();
inline constexpr auto ColorCodes = [] {
  std::array<std::array<int, kMaxPlanes>, kColorModes> t{};
  for (int m = 0; m < kColorModes; ++m) t[m] = kColorModeFacts[m].codes;
  return t;
}();

// Every mode's planes have names and codes, and no more.
static_assert([] {
  for (const auto& f : kColorModeFacts)
    for (int p = 0; p < kMaxPlanes; ++p)
      if ((p < f.planes) != (f.names[p][0] != '\0') || (p < f.planes) != (f.codes[p] >= 0) ||
          (p < f.planes) != (f.inks[p] != Ink::kNone))
        return false;
  return true;
}());

struct ModeDecision {
  int planes;
  ColorMode mode;
};

// The colour-mode decision: the raster's colour space alone, with the
// compression field telling the two one-plane uses of the K space apart
// (variable-dot grey when 0, black only otherwise).  Every colour space not
// listed prints as CMYK.
ModeDecision DecideColorMode(std::uint32_t color_space, std::uint32_t compression);

// The ink of a plane on a page of `planes` planes: black-only and grey pages
// print their one plane in black.
Ink InkOf(ColorMode mode, int planes, int plane);

// Bytes in one dot row of `width` pixels: two pixels a byte in the dot-code
// modes, eight in the others.
constexpr std::uint64_t DotRowBytes(std::uint64_t width, ColorMode mode) {
  return Facts(mode).bits_per_dot == 4 ? (width + 1) / 2 : (width + 7) / 8;
}
