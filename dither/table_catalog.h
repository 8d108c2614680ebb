// Every dither table with what the tools and tests need to walk it: the
// standard matrices with their dimensions, the variable-dot planes with their
// matrix, curves, tone table and base, and the tone each reproduces.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dither/tables.h"
#include "dither/vdot_code.h"

struct StandardScreen {
  const char* name;
  const std::int16_t* data;
  int width, height;
  int built_dots;  // dots of a clustered screen built here; 0 for listed ones
};

struct VariableDotPlane {
  const char* name;
  const std::int16_t* matrix;
  int width, height;
  const std::int16_t* adjust;
  const std::int16_t* expand;
  const ToneEntry* tone;
  int tone_entries;
  std::int16_t base;
  bool four_planes;
  bool listed;  // matrix given as printer data rather than built here
};

// W and H are given explicitly: a DitherMatrix<W, H> argument only accepts a
// table of W x H entries, so a wrong size does not compile.
template <int W, int H>
StandardScreen Screen(const char* name, const DitherMatrix<W, H>& m, int built_dots) {
  return {name, m.data(), W, H, built_dots};
}

template <int W, int H, std::size_t N>
VariableDotPlane VPlane(const char* name, const DitherMatrix<W, H>& m, const Curve256& adjust,
                        const Curve256& expand, const std::array<ToneEntry, N>& tone,
                        std::int16_t base, bool four_planes, bool listed = false) {
  return {name,          m.data(),      W,           H,
          adjust.data(), expand.data(), tone.data(), static_cast<int>(N),
          base,          four_planes,   listed};
}

inline const std::array<StandardScreen, 12> kStandardScreens = {
    Screen<8, 8>("MediumCyanDither", MediumCyanDither, 0),
    Screen<30, 30>("MediumMagentaDither", MediumMagentaDither, 90),
    Screen<9, 9>("MediumYellowDither", MediumYellowDither, 0),
    Screen<30, 30>("MediumBlackDither", MediumBlackDither, 90),
    Screen<12, 18>("FineCyanDither", FineCyanDither, 0),
    Screen<68, 68>("FineMagentaDither", FineMagentaDither, 272),
    Screen<10, 15>("FineYellowDither", FineYellowDither, 0),
    Screen<68, 68>("FineBlackDither", FineBlackDither, 272),
    Screen<24, 18>("Fine2CyanDither", Fine2CyanDither, 0),
    Screen<136, 68>("Fine2MagentaDither", Fine2MagentaDither, 0),
    Screen<20, 15>("Fine2YellowDither", Fine2YellowDither, 0),
    Screen<136, 68>("Fine2BlackDither", Fine2BlackDither, 0),
};

inline const std::array<VariableDotPlane, 10> kVariableDotPlanes = {
    VPlane<74, 74>("Gray100", VDitherGray100, VAdjustGray100, VExpandGray100, VToneGray100,
                   VBases100[0], false),
    VPlane<26, 26>("Gray160", VDitherGray160, VAdjustGray160, VExpandGray160, VToneGray160,
                   VBases160[0], false),
    VPlane<68, 68>("Cyan145", VDitherCyan145, VAdjustCyan145, VExpandCyan145, VToneCyan145,
                   VBases145[0], true),
    VPlane<64, 64>("Magenta145", VDitherMagenta145, VAdjustMagenta145, VExpandMagenta145,
                   VToneMagenta145, VBases145[1], true),
    VPlane<24, 24>("Yellow145", VDitherYellow145, VAdjustYellow145, VExpandYellow145,
                   VToneYellow145, VBases145[2], true),
    VPlane<64, 32>("Black145", VDitherBlack145, VAdjustBlack145, VExpandBlack145, VToneBlack145,
                   VBases145[3], true),
    VPlane<40, 40>("Cyan190", VDitherCyan190, VAdjustCyan190, VExpandCyan190, VToneCyan190,
                   VBases190[0], true),
    VPlane<40, 40>("Magenta190", VDitherMagenta190, VAdjustMagenta190, VExpandMagenta190,
                   VToneMagenta190, VBases190[1], true),
    VPlane<12, 12>("Yellow190", VDitherYellow190, VAdjustYellow190, VExpandYellow190,
                   VToneYellow190, VBases190[2], true, /*listed=*/true),
    VPlane<24, 24>("Black190", VDitherBlack190, VAdjustBlack190, VExpandBlack190, VToneBlack190,
                   VBases190[3], true),
};

// The dot code of one cell of a variable-dot plane at a sample.
inline int CellCode(const VariableDotPlane& p, int sample, int cell) {
  return VDotCode(p.adjust, p.expand, p.tone, p.base, p.four_planes,
                  static_cast<std::uint8_t>(sample), p.matrix[cell]);
}

// Share of a standard screen's cells that print, per sample 0..255.
inline std::vector<double> Coverage(const StandardScreen& t) {
  const int cells = t.width * t.height;
  std::vector<double> c(256);
  for (int s = 0; s < 256; ++s) {
    int dots = 0;
    for (int i = 0; i < cells; ++i) dots += s > t.data[i];
    c[s] = static_cast<double>(dots) / cells;
  }
  return c;
}

// Mean dot code over one tile of a variable-dot plane, per sample 0..255.
inline std::vector<double> MeanCode(const VariableDotPlane& p) {
  const int cells = p.width * p.height;
  std::vector<double> c(256);
  for (int s = 0; s < 256; ++s) {
    long sum = 0;
    for (int i = 0; i < cells; ++i) sum += CellCode(p, s, i);
    c[s] = static_cast<double>(sum) / cells;
  }
  return c;
}
