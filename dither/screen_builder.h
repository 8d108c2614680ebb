// Compile-time building blocks of the dither tables: clustered-dot screens laid
// out on a lattice, the checks every table file runs on its matrices, tone
// tables from their first codes, and monotone curves through listed points.
//
// Everything here is consteval or constexpr and runs while the table files
// compile; nothing of it exists in the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dither/tables.h"

namespace screen {

// ---------------------------------------------------------------------------
// Integer geometry.

struct Vec {
  int x = 0, y = 0;
  friend constexpr bool operator==(Vec, Vec) = default;
};

constexpr Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
constexpr Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
constexpr Vec operator*(int k, Vec a) { return {k * a.x, k * a.y}; }
constexpr int Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
constexpr int Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
constexpr int Norm(Vec a) { return Dot(a, a); }

constexpr int FloorDiv(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr int Mod(int a, int b) { return a - FloorDiv(a, b) * b; }

// The lattice of integer combinations of u and v (not parallel).
struct Lattice {
  Vec u, v;
  constexpr int Area() const {
    const int d = Cross(u, v);
    return d < 0 ? -d : d;
  }
  constexpr bool Contains(Vec p) const {
    const int d = Cross(u, v);
    return Cross(p, v) % d == 0 && Cross(u, p) % d == 0;
  }
  constexpr bool SameClass(Vec p, Vec q) const { return Contains(p - q); }
  // The coordinates of a lattice point in the basis u, v.
  constexpr Vec Coords(Vec p) const {
    const int d = Cross(u, v);
    return {Cross(p, v) / d, Cross(u, p) / d};
  }
  // The same lattice on a reduced basis: u a shortest vector, v the shortest
  // one not parallel to it, at an angle of at most 90 degrees to u.
  constexpr Lattice Reduced() const {
    Vec a = u, b = v;
    for (;;) {
      if (Norm(b) < Norm(a)) {
        const Vec t = a;
        a = b;
        b = t;
      }
      // The nearest integer to Dot(a, b) / Norm(a), halves rounded down.
      const int k = FloorDiv(2 * Dot(a, b) + Norm(a), 2 * Norm(a));
      if (k == 0) break;
      b = b - k * a;
    }
    return {a, Dot(a, b) < 0 ? Vec{-b.x, -b.y} : b};
  }
  // The squared length of the shortest vector of the class of p.
  constexpr int ShortestNorm(Vec p) const {
    const int d = Cross(u, v);
    const int a = FloorDiv(Cross(p, v), d), b = FloorDiv(Cross(u, p), d);
    int best = Norm(p);
    for (int i = a - 2; i <= a + 3; ++i)
      for (int j = b - 2; j <= b + 3; ++j) {
        const int n = Norm(p - i * u - j * v);
        if (n < best) best = n;
      }
    return best;
  }
};

// ---------------------------------------------------------------------------
// Matrices fixed by a band of rows.
//
// A W x H matrix unchanged by a shift of s columns right and t rows down (with
// wrap-around, t dividing H) is fixed by its first t rows, the band: cell
// (x, y) holds the band's cell (x - k s mod W, y - k t) with k = y div t.
// The band is one screen cell; the matrix holds H / t copies of it.

struct Torus {
  int width, height;
  Vec shift;
  constexpr int BandCells() const { return width * shift.y; }
  // A cell of the plane, folded into the band: its index y * W + x there.
  constexpr int BandIndex(Vec p) const {
    const int k = FloorDiv(p.y, shift.y);
    return (p.y - k * shift.y) * width + Mod(p.x - k * shift.x, width);
  }
  constexpr Vec BandCell(int index) const { return {index % width, index / width}; }
  // Whether the shift closes up on the torus, so that the band is well defined.
  constexpr bool Consistent() const {
    return height % shift.y == 0 && (shift.x * (height / shift.y)) % width == 0;
  }
  // Whether p is a vector of the screen lattice: a shift that leaves every
  // matrix built on this torus unchanged.
  constexpr bool IsPeriod(Vec p) const { return BandIndex(p) == 0; }
};

template <int W, int H, std::size_t BandSize>
constexpr DitherMatrix<W, H> TileBand(const Torus& torus,
                                      const std::array<std::int16_t, BandSize>& band) {
  DitherMatrix<W, H> m{};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) m[y * W + x] = band[torus.BandIndex({x, y})];
  return m;
}

// Every column doubled: entries (r, 2c) and (r, 2c + 1) both equal (r, c).
template <int W, int H>
consteval DitherMatrix<2 * W, H> DoubleColumns(const DitherMatrix<W, H>& m) {
  DitherMatrix<2 * W, H> d{};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < 2 * W; ++x) d[y * 2 * W + x] = m[y * W + x / 2];
  return d;
}

// ---------------------------------------------------------------------------
// Clustered-dot screens.
//
// The dots sit on a dot lattice D that contains the screen lattice.  Every
// dot owns one pixel of each class of Z^2 / D, so all dots have the same
// shape; the shape lists its pixels as offsets from the dot's lattice point,
// in the order the dot takes them (its growth steps).  A screen cell holds
// Area(screen) / Area(D) dots, numbered by their lattice point's place in the
// band; each dot also has a turn, the order in which the dots of a cell take
// each growth step.

template <std::size_t Area>
using DotShape = std::array<Vec, Area>;

// Whether the offsets are one pixel of every class of Z^2 / D.
template <std::size_t Area>
constexpr bool IsShapeOf(const DotShape<Area>& shape, const Lattice& dots) {
  if (dots.Area() != static_cast<int>(Area)) return false;
  for (std::size_t i = 0; i < Area; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (dots.SameClass(shape[i], shape[j])) return false;
  return true;
}

// Where a dot's centre sits, in half pixels left of and above its lattice
// point: on the pixel, on the midpoint of its left edge, or on its top left
// corner (the natural place for dots of even area).
inline constexpr Vec kOnPixel{0, 0}, kOnEdge{1, 0}, kOnCorner{1, 1};

// A round dot: of each class of Z^2 / D the pixel nearest the dot's centre,
// taken nearest first.  Pixels at the same distance are taken
// counterclockwise, starting from a fixed direction, so that a dot grows
// from one pixel to an L, a square, a plus and on in rings.
template <std::size_t Area>
constexpr DotShape<Area> RoundDot(const Lattice& dots, Vec centre) {
  // Doubled coordinates relative to the centre, so that it stays integral.
  auto rel = [centre](Vec p) { return Vec{2 * p.x + centre.x, 2 * p.y + centre.y}; };
  const Vec start{10, 3};
  auto half = [start](Vec q) {
    const int s = Cross(start, q);
    return (s < 0 || (s == 0 && Dot(start, q) < 0)) ? 1 : 0;
  };
  auto before = [&](Vec p, Vec q) {
    const Vec a = rel(p), b = rel(q);
    if (Norm(a) != Norm(b)) return Norm(a) < Norm(b);
    if (half(a) != half(b)) return half(a) < half(b);
    return Cross(a, b) > 0;
  };

  constexpr int n = static_cast<int>(Area);
  DotShape<Area> shape{};
  int found = 0;
  int reach = 1;
  while (reach * reach < n) ++reach;
  ++reach;
  for (int y = -reach; y <= reach; ++y)
    for (int x = -reach; x <= reach; ++x) {
      const Vec p{x, y};
      int k = 0;
      while (k < found && !dots.SameClass(shape[k], p)) ++k;
      if (k == found) {
        shape[found++] = p;
      } else if (before(p, shape[k])) {
        shape[k] = p;
      }
    }
  if (found != n) throw "the search box misses a class of the dot lattice";
  // Insertion sort: the shape is small.
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && before(shape[j], shape[j - 1]); --j) {
      const Vec t = shape[j];
      shape[j] = shape[j - 1];
      shape[j - 1] = t;
    }
  return shape;
}

// A cell dot: the pixels of RoundDot(dots, centre) in a new order, as
// if the dot lattice were a square one.  A pixel's place in the lattice cell
// is measured in lattice coordinates (on the reduced basis, where a lattice
// point is an integer pair), and the pixels are taken by the ratio of their
// distance from the dot's centre to their distance from the cell's hole,
// the point half a step along both basis vectors, smallest first; ties keep
// RoundDot's order, and each pixel taken beside one taken before.  So the
// dot fills its own cell evenly (round on a square lattice, elliptical on an
// oblong one), and once dots touch, the blank left between them shrinks as a
// compact hole around the hole's centre instead of breaking into chains of
// single blank pixels along the seams between dots.
template <std::size_t Area>
constexpr DotShape<Area> CellDot(const Lattice& dots, Vec centre) {
  DotShape<Area> shape = RoundDot<Area>(dots, centre);
  const Lattice r = dots.Reduced();
  // Doubled pixel coordinates relative to the centre; in them a lattice point
  // has lattice coordinates that are multiples of d.
  const long long d = 2LL * r.Area();
  auto nearest = [d](long long a) {  // the offset from the nearest multiple of d
    long long m = a % d;
    if (m < 0) m += d;
    return 2 * m > d ? m - d : m;
  };
  auto norms = [&](Vec p, long long& to_centre, long long& to_hole) {
    const Vec q{2 * p.x + centre.x, 2 * p.y + centre.y};
    const long long a = Cross(q, r.v), b = Cross(r.u, q);
    const long long a0 = nearest(a), b0 = nearest(b), a1 = nearest(a - d / 2),
                    b1 = nearest(b - d / 2);
    to_centre = a0 * a0 + b0 * b0;
    to_hole = a1 * a1 + b1 * b1;
  };
  auto before = [&](Vec p, Vec q) {
    long long cp = 0, hp = 0, cq = 0, hq = 0;
    norms(p, cp, hp);
    norms(q, cq, hq);
    return cp * hq < cq * hp;
  };
  // Each next pixel is the first by that ratio among those beside a pixel
  // already taken, so that the dot stays in one piece as it grows.
  DotShape<Area> grown{};
  std::array<bool, Area> taken{};
  for (std::size_t k = 0; k < Area; ++k) {
    std::size_t best = Area;
    for (std::size_t i = 0; i < Area; ++i) {
      bool beside = k == 0;
      for (std::size_t j = 0; j < k && !beside; ++j) beside = Norm(shape[i] - grown[j]) == 1;
      if (!taken[i] && beside && (best == Area || before(shape[i], shape[best]))) best = i;
    }
    if (best == Area) throw "the dot's pixels are not connected";
    taken[best] = true;
    grown[k] = shape[best];
  }
  return grown;
}

// Where each cell of the band belongs: its dot (by index) and the growth step
// at which that dot takes it.  The dots sit on origin + D; dot_points lists
// each dot's point, folded into the band.
template <std::size_t Cells, std::size_t Dots>
struct BandLayout {
  std::array<int, Cells> dot{}, step{};
  std::array<Vec, Dots> dot_points{};
};

template <std::size_t Cells, std::size_t Dots, std::size_t Area>
constexpr BandLayout<Cells, Dots> LayOutDots(const Torus& torus, const Lattice& dots,
                                             const DotShape<Area>& shape, Vec origin = {}) {
  BandLayout<Cells, Dots> layout{};
  std::size_t found = 0;
  for (int i = 0; i < static_cast<int>(Cells); ++i)
    if (dots.Contains(torus.BandCell(i) - origin)) layout.dot_points[found++] = torus.BandCell(i);
  if (found != Dots || Cells != static_cast<std::size_t>(torus.BandCells()))
    throw "the band does not hold the expected number of dots";

  for (int i = 0; i < static_cast<int>(Cells); ++i) {
    const Vec p = torus.BandCell(i);
    int s = 0;
    while (s < static_cast<int>(Area) && !dots.Contains(p - origin - shape[s])) ++s;
    if (s == static_cast<int>(Area)) throw "the shape misses a class of the dot lattice";
    const int home = torus.BandIndex(p - shape[s]);
    std::size_t d = 0;
    while (torus.BandIndex(layout.dot_points[d]) != home) ++d;
    layout.dot[i] = static_cast<int>(d);
    layout.step[i] = s;
  }
  return layout;
}

// A dispersed turn for the dots of a screen cell: starting with dot 0, each
// next dot is the one farthest from those already taken (on the torus), ties
// going to the one with the least sum of inverse squared distances.  Every
// prefix of the turn is then spread as evenly as the lattice allows, so the
// dots that take a growth step first are scattered over the cell.
template <std::size_t Dots>
constexpr std::array<int, Dots> DispersedTurn(const std::array<Vec, Dots>& points,
                                              const Lattice& screen_cell) {
  std::array<int, Dots> turn{};  // dot index -> its place in the turn
  std::array<bool, Dots> taken{};
  std::array<int, Dots> order{};
  order[0] = 0;
  taken[0] = true;
  for (std::size_t k = 1; k < Dots; ++k) {
    int best = -1, best_min = -1;
    double best_energy = 0;
    for (std::size_t d = 0; d < Dots; ++d) {
      if (taken[d]) continue;
      int nearest = 1 << 30;
      double energy = 0;
      for (std::size_t j = 0; j < k; ++j) {
        const int n = screen_cell.ShortestNorm(points[d] - points[order[j]]);
        if (n < nearest) nearest = n;
        energy += 1.0 / n;
      }
      if (nearest > best_min || (nearest == best_min && energy < best_energy)) {
        best = static_cast<int>(d);
        best_min = nearest;
        best_energy = energy;
      }
    }
    order[k] = best;
    taken[best] = true;
  }
  for (std::size_t k = 0; k < Dots; ++k) turn[order[k]] = static_cast<int>(k);
  return turn;
}

// ---------------------------------------------------------------------------
// Checks on finished matrices.

template <std::size_t N>
constexpr int CountOf(const std::array<std::int16_t, N>& m, int value) {
  int n = 0;
  for (auto e : m) n += (e == value);
  return n;
}

template <std::size_t N>
constexpr bool AllWithin(const std::array<std::int16_t, N>& m, int lo, int hi) {
  for (auto e : m)
    if (e < lo || e > hi) return false;
  return true;
}

// The occurrences of every value 0..255 (values outside give a count of -1
// at index 0, which no check accepts).
template <std::size_t N>
constexpr std::array<int, 256> Histogram(const std::array<std::int16_t, N>& m) {
  std::array<int, 256> h{};
  for (auto e : m) {
    if (e < 0 || e > 255) {
      h[0] = -1;
      return h;
    }
    ++h[e];
  }
  return h;
}

template <std::size_t N>
constexpr int DistinctValues(const std::array<std::int16_t, N>& m) {
  const auto h = Histogram(m);
  int n = 0;
  for (int c : h) n += (c > 0);
  return n;
}

// Whether every value that occurs does so a multiple of unit times, at most
// max_multiple times that.
template <std::size_t N>
constexpr bool OccurrencesAreMultiples(const std::array<std::int16_t, N>& m, int unit,
                                       int max_multiple) {
  const auto h = Histogram(m);
  for (int c : h)
    if (c < 0 || c % unit != 0 || c > unit * max_multiple) return false;
  return true;
}

template <std::size_t N>
constexpr bool UnchangedByShift(const std::array<std::int16_t, N>& m, int width, int height,
                                Vec shift) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (m[y * width + x] != m[Mod(y + shift.y, height) * width + Mod(x + shift.x, width)])
        return false;
  return true;
}

template <std::size_t N, std::size_t R>
constexpr bool RowIs(const std::array<std::int16_t, N>& m, int row,
                     const std::array<std::int16_t, R>& expected) {
  for (std::size_t x = 0; x < R; ++x)
    if (m[row * R + x] != expected[x]) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Variable-dot matrices and tone tables.

// The matrix value of a cell of the given level and rank.  Four-plane sets:
// level 1 is values 1..16 (rank 0..15), level L the values 4L + 9 + rank
// (rank 0..3).  One-plane sets: level L is the values 4L - 3 + rank.
constexpr std::int16_t VDotValue(bool four_planes, int level, int rank) {
  if (!four_planes) return static_cast<std::int16_t>(4 * level - 3 + rank);
  if (level == 1) return static_cast<std::int16_t>(1 + rank);
  return static_cast<std::int16_t>(4 * level + 9 + rank);
}

// A variable-dot screen: round dots (or cell dots) on a dot lattice, every
// dot taking one more pixel at each level (level 1 its centre), the
// dots of a screen cell ranked in a dispersed turn.  Four-plane sets have 16
// dots a cell: level 1 ranks them 0..15, later levels in four groups of four
// (turn div 4), each group spread over the cell.  One-plane sets have four
// dots a cell, ranked 0..3 at every level.
struct VDotScreen {
  Torus torus;
  Lattice cell;
  Lattice dots;
  Vec centre;  // kOnPixel, kOnEdge or kOnCorner
  bool four_planes;
  bool cell_dot = false;  // grow by CellDot rather than RoundDot
};

template <int W, int H, std::size_t Cells, std::size_t Dots, std::size_t Area>
consteval DitherMatrix<W, H> BuildVDotScreen(const VDotScreen& s) {
  if (Dots != (s.four_planes ? 16u : 4u)) throw "wrong number of dots for the set";
  if (s.torus.width != W || s.torus.height != H || !s.torus.Consistent() ||
      !s.torus.IsPeriod(s.cell.u) || !s.torus.IsPeriod(s.cell.v) ||
      s.cell.Area() != static_cast<int>(Cells))
    throw "the cell lattice is not the screen's";
  const auto shape =
      s.cell_dot ? CellDot<Area>(s.dots, s.centre) : RoundDot<Area>(s.dots, s.centre);
  const auto layout = LayOutDots<Cells, Dots>(s.torus, s.dots, shape);
  const auto turn = DispersedTurn(layout.dot_points, s.cell);
  std::array<std::int16_t, Cells> band{};
  for (std::size_t i = 0; i < Cells; ++i) {
    const int level = layout.step[i] + 1, t = turn[layout.dot[i]];
    const int rank = (s.four_planes && level > 1) ? t / 4 : t;
    band[i] = VDotValue(s.four_planes, level, rank);
  }
  return TileBand<W, H>(s.torus, band);
}

// The highest level of a matrix.
template <std::size_t N>
constexpr int VDotLevels(const std::array<std::int16_t, N>& m, bool four_planes) {
  int top = 0;
  for (auto v : m) {
    const int level = four_planes ? (v <= 16 ? 1 : (v - 17) / 4 + 2) : (v - 1) / 4 + 1;
    if (level > top) top = level;
  }
  return top;
}

// Whether every value 1..n occurs, level-1 values (1..16 on four-plane sets)
// `first` times each and every other value `later` times each.
template <std::size_t N>
constexpr bool VDotOccurrences(const std::array<std::int16_t, N>& m, bool four_planes, int n,
                               int first, int later) {
  std::array<int, 1024> h{};
  for (auto v : m) {
    if (v < 1 || v > n) return false;
    ++h[v];
  }
  for (int v = 1; v <= n; ++v)
    if (h[v] != ((four_planes && v <= 16) ? first : later)) return false;
  return true;
}

// The tone table of the given first codes: entry 0 is level 0 code 0, then
// each level a run of codes from its first code up to 15.
template <std::size_t Entries, std::size_t Levels>
consteval std::array<ToneEntry, Entries> ToneTable(const std::array<int, Levels>& first) {
  std::size_t n = 1;
  for (int c : first) {
    if (c < 0 || c > 15) throw "a first code lies outside 0..15";
    n += static_cast<std::size_t>(16 - c);
  }
  if (n != Entries) throw "the first codes do not give the table's entry count";
  std::array<ToneEntry, Entries> t{};
  std::size_t k = 1;
  for (std::size_t level = 1; level <= Levels; ++level)
    for (int c = first[level - 1]; c <= 15; ++c)
      t[k++] = {static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(c)};
  return t;
}

template <std::size_t Entries>
constexpr int EntriesOfLevel(const std::array<ToneEntry, Entries>& t, int level) {
  int n = 0;
  for (const auto& e : t) n += (e[0] == level);
  return n;
}

// The expanded values a tone table covers: 16 for each level-1 entry and 4
// for each later one on four-plane sets, 4 for each entry after entry 0 on
// one-plane sets.
template <std::size_t Entries>
constexpr int ExpandedValues(const std::array<ToneEntry, Entries>& t, bool four_planes) {
  const int first = EntriesOfLevel(t, 1);
  const int later = static_cast<int>(Entries) - 1 - first;
  return four_planes ? 16 * first + 4 * later : 4 * (first + later);
}

// ---------------------------------------------------------------------------
// Curves.

struct Point {
  int x, y;
};

// A monotone cubic through the points (x strictly rising), sampled at 0..255
// and rounded to the nearest integer: piecewise cubic Hermite with the
// shape-preserving slopes of Fritsch and Carlson (weighted harmonic means
// inside, one-sided three-point estimates at the ends).  Between two points
// of equal value it stays flat; it never overshoots a listed point, so data
// that never decrease give a curve that never decreases.  Points must start
// at x = 0 and end at x = 255.
template <std::size_t K>
consteval Curve256 MonotoneCurve(const std::array<Point, K>& pts) {
  static_assert(K >= 3);
  if (pts[0].x != 0 || pts[K - 1].x != 255) throw "a curve must span samples 0 to 255";
  std::array<double, K - 1> h{}, delta{};
  for (std::size_t k = 0; k + 1 < K; ++k) {
    h[k] = pts[k + 1].x - pts[k].x;
    delta[k] = (pts[k + 1].y - pts[k].y) / h[k];
  }
  auto sign = [](double v) { return (v > 0) - (v < 0); };
  auto magnitude = [](double v) { return v < 0 ? -v : v; };
  auto end_slope = [&](double h0, double h1, double d0, double d1) {
    double d = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
    if (sign(d) != sign(d0)) return 0.0;
    if (sign(d0) != sign(d1) && magnitude(d) > magnitude(3 * d0)) return 3 * d0;
    return d;
  };
  std::array<double, K> slope{};
  slope[0] = end_slope(h[0], h[1], delta[0], delta[1]);
  slope[K - 1] = end_slope(h[K - 2], h[K - 3], delta[K - 2], delta[K - 3]);
  for (std::size_t k = 1; k + 1 < K; ++k) {
    if (delta[k - 1] * delta[k] <= 0) continue;
    const double w1 = 2 * h[k] + h[k - 1], w2 = h[k] + 2 * h[k - 1];
    slope[k] = (w1 + w2) / (w1 / delta[k - 1] + w2 / delta[k]);
  }

  Curve256 c{};
  std::size_t k = 0;
  for (int x = 0; x < 256; ++x) {
    while (k + 2 < K && x > pts[k + 1].x) ++k;
    const double t = (x - pts[k].x) / h[k];
    const double t2 = t * t, t3 = t2 * t;
    const double y = (2 * t3 - 3 * t2 + 1) * pts[k].y + (t3 - 2 * t2 + t) * h[k] * slope[k] +
                     (-2 * t3 + 3 * t2) * pts[k + 1].y + (t3 - t2) * h[k] * slope[k + 1];
    c[x] = static_cast<std::int16_t>(y + 0.5);
  }
  return c;
}

consteval Curve256 IdentityCurve() {
  Curve256 c{};
  for (int s = 0; s < 256; ++s) c[s] = static_cast<std::int16_t>(s);
  return c;
}

constexpr bool IsIdentity(const Curve256& c) {
  for (int s = 0; s < 256; ++s)
    if (c[s] != s) return false;
  return true;
}

constexpr bool NeverDecreases(const Curve256& c) {
  for (int s = 1; s < 256; ++s)
    if (c[s] < c[s - 1]) return false;
  return true;
}

template <std::size_t K>
constexpr bool PassesThrough(const Curve256& c, const std::array<Point, K>& pts) {
  for (const auto& p : pts)
    if (c[p.x] != p.y) return false;
  return true;
}

// The checks every expansion table must pass against its plane's tone table:
// entry 0 is 0, entries 1, 128 and 255 are the listed ones, entries never
// decrease, every entry after 0 is 1 or more, and the last is exactly the
// number of expanded values the tone table covers.
template <std::size_t Entries>
constexpr bool ValidExpansion(const Curve256& e, const std::array<ToneEntry, Entries>& tone,
                              bool four_planes, int e1, int e128, int e255) {
  return e[0] == 0 && e[1] == e1 && e[128] == e128 && e[255] == e255 && e[1] >= 1 &&
         NeverDecreases(e) && e255 == ExpandedValues(tone, four_planes);
}

// ---------------------------------------------------------------------------
// Pinning.  A 64-bit FNV-1a digest of a table's entries (low byte first), so
// every constructed table states the exact values it prints with: a change to
// the builder that moves a single threshold fails to compile until the digest
// is updated on purpose.
template <std::size_t N>
constexpr std::uint64_t Digest(const std::array<std::int16_t, N>& table) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (const std::int16_t v : table) {
    const auto u = static_cast<std::uint16_t>(v);
    for (const int byte : {u & 0xFF, u >> 8}) {
      h ^= static_cast<std::uint64_t>(byte);
      h *= 0x100000001b3u;
    }
  }
  return h;
}

}  // namespace screen
