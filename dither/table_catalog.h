// Every dither table with what the tools and tests need to walk it: the
// standard matrices with their dimensions, the variable-dot planes with their
// matrix, curves, tone table and base, the four-plane sets of the colour
// modes, the tone each reproduces, and the figures of print quality that the
// screen report and the table tests measure on the printed tints.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numeric>
#include <vector>

#include "dither/tables.h"
#include "dither/vdot_code.h"

struct StandardScreen {
  const char* name;
  const std::int16_t* data;
  int width, height;
  int built_dots;  // dots of a clustered screen built here; 0 for listed or doubled ones
  bool listed;     // values given as printer data (or derived from such)
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
StandardScreen Screen(const char* name, const DitherMatrix<W, H>& m, int built_dots,
                      bool listed = false) {
  return {name, m.data(), W, H, built_dots, listed};
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
    Screen<8, 8>("MediumCyanDither", MediumCyanDither, 0, true),
    Screen<30, 30>("MediumMagentaDither", MediumMagentaDither, 90),
    Screen<9, 9>("MediumYellowDither", MediumYellowDither, 0, true),
    Screen<30, 30>("MediumBlackDither", MediumBlackDither, 90),
    Screen<12, 18>("FineCyanDither", FineCyanDither, 0, true),
    Screen<68, 68>("FineMagentaDither", FineMagentaDither, 136),
    Screen<10, 15>("FineYellowDither", FineYellowDither, 0, true),
    Screen<68, 68>("FineBlackDither", FineBlackDither, 136),
    Screen<24, 18>("Fine2CyanDither", Fine2CyanDither, 0, true),
    Screen<136, 68>("Fine2MagentaDither", Fine2MagentaDither, 0),
    Screen<20, 15>("Fine2YellowDither", Fine2YellowDither, 0, true),
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

// ---------------------------------------------------------------------------
// The four-plane sets of the colour modes, planes in the order cyan, magenta,
// yellow, black: indices into kStandardScreens or kVariableDotPlanes, with
// the resolution they print at (the variable-dot sets at any; 600 dpi is the
// usual one).  The Gold and Silver modes print the family's black screen on
// all four planes.
struct FourPlaneSet {
  const char* name;
  std::array<int, 4> planes;
  bool variable_dot;
  int dpi_x, dpi_y;
};

inline constexpr std::array<FourPlaneSet, 8> kFourPlaneSets = {{
    {"CMYK 300", {0, 1, 2, 3}, false, 300, 300},
    {"CMYK 600", {4, 5, 6, 7}, false, 600, 600},
    {"CMYK 1200", {8, 9, 10, 11}, false, 1200, 600},
    {"Gold 300", {3, 3, 3, 3}, false, 300, 300},
    {"Gold 600", {7, 7, 7, 7}, false, 600, 600},
    {"Gold 1200", {11, 11, 11, 11}, false, 1200, 600},
    {"VDot 145", {2, 3, 4, 5}, true, 600, 600},
    {"VDot 190", {6, 7, 8, 9}, true, 600, 600},
}};

// ---------------------------------------------------------------------------
// Printed tints and the figures measured on them.
//
// A tint is what one plane lays down for a flat sample over one tile of its
// matrix, the tile repeating from pixel 0 of line 0: the ink of each pixel,
// 0 or 1 on a standard screen (a dot where the sample exceeds the threshold),
// code / 15 on a variable-dot plane.  A pixel with any ink counts as inked.
struct Tint {
  int width = 0, height = 0;
  std::vector<double> ink;  // row by row

  double At(int x, int y) const {
    return ink[((y % height + height) % height) * width + (x % width + width) % width];
  }
  bool Inked(int x, int y) const { return At(x, y) > 0; }
  double InkedShare() const {
    const auto n = std::count_if(ink.begin(), ink.end(), [](double i) { return i > 0; });
    return static_cast<double>(n) / static_cast<double>(ink.size());
  }
};

inline Tint Print(const StandardScreen& t, int sample) {
  Tint p{t.width, t.height, std::vector<double>(t.width * t.height)};
  for (std::size_t i = 0; i < p.ink.size(); ++i) p.ink[i] = sample > t.data[i] ? 1 : 0;
  return p;
}

inline Tint Print(const VariableDotPlane& v, int sample) {
  Tint p{v.width, v.height, std::vector<double>(v.width * v.height)};
  for (std::size_t i = 0; i < p.ink.size(); ++i)
    p.ink[i] = CellCode(v, sample, static_cast<int>(i)) / 15.0;
  return p;
}

// A neutral tint of a set: every plane at the sample.  On a variable-dot set
// the black plane gets the generated black (the sample itself, through its
// own adjustment) and a sample of 255 leaves the colour planes blank.
inline std::array<Tint, 4> PrintNeutral(const FourPlaneSet& set, int sample) {
  std::array<Tint, 4> tints;
  for (int p = 0; p < 4; ++p) {
    if (!set.variable_dot) {
      tints[p] = Print(kStandardScreens[set.planes[p]], sample);
    } else {
      const int s = (p < 3 && sample == 255) ? 0 : sample;
      tints[p] = Print(kVariableDotPlanes[set.planes[p]], s);
    }
  }
  return tints;
}

// Single-pixel dots (no inked pixel among the eight around), per 1000 px:
// they print unreliably and gain the most.
inline double IsolatedDots(const Tint& t) {
  int n = 0;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) {
      int inked = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) inked += t.Inked(x + dx, y + dy);
      n += t.Inked(x, y) && inked == 1;
    }
  return 1000.0 * n / static_cast<double>(t.ink.size());
}

// Dot edge per inked pixel: steps from ink to blank along the rows and down
// the columns.  Ink spreads at the edges, so this is what gains on paper.
inline double EdgesPerInkedPixel(const Tint& t) {
  int inked = 0, edges = 0;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) {
      if (!t.Inked(x, y)) continue;
      ++inked;
      edges += !t.Inked(x + 1, y) + !t.Inked(x, y + 1);
    }
  return inked > 0 ? static_cast<double>(edges) / inked : 0.0;
}

// Single-pixel gaps (a blank pixel whose four neighbours are inked), per
// 1000 px: they fill in unevenly on paper.
inline double SingleGaps(const Tint& t) {
  int n = 0;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x)
      n += !t.Inked(x, y) && t.Inked(x - 1, y) && t.Inked(x + 1, y) && t.Inked(x, y - 1) &&
           t.Inked(x, y + 1);
  return 1000.0 * n / static_cast<double>(t.ink.size());
}

// The figures of one screen, each at the tints of the smallest samples that
// ink the share of pixels given, so that screens with different tone curves
// are compared at equal coverage.
struct ScreenFigures {
  double isolated_dots;     // at 5 % ink
  double edges25, edges50;  // at 25 % and 50 % ink
  double single_gaps;       // mean over the samples giving 75 % to 90 % ink; -1 if none does
};

template <typename Screen>
ScreenFigures Figures(const Screen& screen) {
  ScreenFigures f{-1, -1, -1, -1};
  double gaps = 0;
  int gap_tints = 0;
  for (int s = 0; s < 256; ++s) {
    const Tint t = Print(screen, s);
    const double ink = t.InkedShare();
    if (ink >= 0.05 && f.isolated_dots < 0) f.isolated_dots = IsolatedDots(t);
    if (ink >= 0.25 && f.edges25 < 0) f.edges25 = EdgesPerInkedPixel(t);
    if (ink >= 0.50 && f.edges50 < 0) f.edges50 = EdgesPerInkedPixel(t);
    if (ink >= 0.75 && ink <= 0.90) {
      gaps += SingleGaps(t);
      ++gap_tints;
    }
  }
  if (gap_tints > 0) f.single_gaps = gaps / gap_tints;
  return f;
}

// The share of the page that both planes ink (ink times ink, over the tile
// common to both), with b landing dx px right and dy px down of its place.
inline double Overlap(const Tint& a, const Tint& b, int dx, int dy) {
  const int w = std::lcm(a.width, b.width), h = std::lcm(a.height, b.height);
  auto wrap = [](int v, int n) { return (v % n + n) % n; };
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    const double* row_a = &a.ink[(y % a.height) * a.width];
    const double* row_b = &b.ink[wrap(y - dy, b.height) * b.width];
    for (int x = 0, xa = 0, xb = wrap(-dx, b.width); x < w; ++x) {
      sum += row_a[xa] * row_b[xb];
      if (++xa == a.width) xa = 0;
      if (++xb == b.width) xb = 0;
    }
  }
  return sum / (static_cast<double>(w) * h);
}

// Registration: how far the overlap of two planes swings, in points (largest
// less smallest, times 100), as b lands up to 3 px off in either direction.
inline double OverlapSpread(const Tint& a, const Tint& b) {
  double lo = 1, hi = 0;
  for (int dy = -3; dy <= 3; ++dy)
    for (int dx = -3; dx <= 3; ++dx) {
      const double o = Overlap(a, b, dx, dy);
      lo = std::min(lo, o);
      hi = std::max(hi, o);
    }
  return 100 * (hi - lo);
}

// Moiré of two planes: the part of their overlap that varies slowly, where
// the eye sees it as a pattern of its own.  The root mean square, in points,
// of the overlap's Fourier components over the common tile whose period is
// longer than period_x pixels across and period_y down (the screens' own
// structure is finer).
inline double Moire(const Tint& a, const Tint& b, double period_x, double period_y) {
  const int w = std::lcm(a.width, b.width), h = std::lcm(a.height, b.height);
  const int kx_max = static_cast<int>(w / period_x), ky_max = static_cast<int>(h / period_y);
  const double turn = -2 * std::acos(-1.0);
  std::vector<std::complex<double>> wx(w), wy(h);
  for (int x = 0; x < w; ++x) wx[x] = std::polar(1.0, turn * x / w);
  for (int y = 0; y < h; ++y) wy[y] = std::polar(1.0, turn * y / h);
  // Along the rows first, for the low horizontal frequencies only.
  const int nkx = 2 * kx_max + 1;
  std::vector<std::complex<double>> rows(static_cast<std::size_t>(h) * nkx);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double o = a.At(x, y) * b.At(x, y);
      if (o == 0) continue;
      for (int k = -kx_max; k <= kx_max; ++k)
        rows[y * nkx + k + kx_max] += o * wx[((k * x) % w + w) % w];
    }
  double power = 0;
  for (int k = -kx_max; k <= kx_max; ++k)
    for (int l = -ky_max; l <= ky_max; ++l) {
      const double fx = k * period_x / w, fy = l * period_y / h;
      if ((k == 0 && l == 0) || fx * fx + fy * fy > 1) continue;
      std::complex<double> c = 0;
      for (int y = 0; y < h; ++y) c += rows[y * nkx + k + kx_max] * wy[((l * y) % h + h) % h];
      power += std::norm(c / (static_cast<double>(w) * h));
    }
  return 100 * std::sqrt(power);
}
