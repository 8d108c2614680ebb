// The 600 dpi matrices, and the 1200 dpi ones derived from them.
//
// Cyan and yellow are small screens kept as the printer's values, with dots
// of 27 and 37 pixels.  Magenta and black are 68 x 68 clustered-dot screens of
// the same coarseness: each 136-pixel screen cell holds four dots of 34
// pixels, so that highlight dots start at two pixels and mid-tone dots have
// as much edge (where ink spreads on paper) as their siblings'.
//   black    shift (42, 2): cell (10, -6), (6, 10); dots (5, -3), (3, 5), a
//            square lattice at -31 degrees
//   magenta  shift (26, 2): cell (10, 6), (6, -10); dots (1, 4), (8, -2), an
//            oblong lattice at -14 degrees with elliptical dots
// Magenta's cell admits only three lattices of four dots: this oblong one,
// the same turned a quarter turn, and the square one at +31 degrees.  The
// square one lies 3 degrees off cyan's lines and the turned oblong one beats
// with yellow, both in moire with a period of about 30 pixels (1.3 mm).
// Both screens grow cell dots (screen::CellDot) centred on a pixel corner:
// round on black's lattice, elliptical on magenta's, and closing as compact
// holes in the shadows.  The four dots grow in turn, one pixel each, in a
// dispersed order, so the threshold order of a cell runs 4 * step + turn
// over its 136 pixels.  The order is then put on the printer's 100-level
// scale (value i * 255 / 99): the last few pixels of the order hold 255 and
// never print, and the others spread evenly over the levels 0 to 98, two
// pixels sharing a level where the order is longer than the scale.
//
// At 1200 dpi a pixel is half as wide, so every matrix has its columns
// doubled; those tables are derived here rather than typed.
#include "dither/screen_builder.h"
#include "dither/tables.h"

namespace {

using screen::Lattice;
using screen::Torus;
using screen::Vec;

// A four-dot screen of 136-pixel cells on a 68 x 68 torus.  printing is the
// number of pixels of a cell that can take a dot (the rest hold 255), levels
// the number of levels below 255 they spread over.
struct FourDotScreen {
  Torus torus;
  Lattice cell;
  Lattice dots;
  int printing, levels;
};

consteval int FineLevel(const FourDotScreen& s, int order) {
  if (order >= s.printing) return 99;
  const int used = (order * (s.levels - 1) + s.printing - 2) / (s.printing - 1);
  return (used * 98 + (s.levels - 1) / 2) / (s.levels - 1);
}

consteval DitherMatrix<68, 68> BuildFourDotScreen(const FourDotScreen& s) {
  constexpr std::size_t kCells = 136, kDots = 4;
  const auto shape = screen::CellDot<kCells / kDots>(s.dots, screen::kOnCorner);
  if (!s.torus.Consistent() || !s.torus.IsPeriod(s.cell.u) || !s.torus.IsPeriod(s.cell.v) ||
      s.cell.Area() != static_cast<int>(kCells))
    throw "the cell lattice is not the screen's";
  const auto layout = screen::LayOutDots<kCells, kDots>(s.torus, s.dots, shape);
  const auto turn = screen::DispersedTurn(layout.dot_points, s.cell);
  std::array<std::int16_t, kCells> band{};
  for (std::size_t i = 0; i < kCells; ++i) {
    const int order = static_cast<int>(kDots) * layout.step[i] + turn[layout.dot[i]];
    band[i] = static_cast<std::int16_t>(FineLevel(s, order) * 255 / 99);
  }
  return screen::TileBand<68, 68>(s.torus, band);
}

// Magenta: 133 printing pixels over 93 levels, three of every cell at 255.
constexpr FourDotScreen kMagentaScreen = {
    {68, 68, {26, 2}}, {{10, 6}, {6, -10}}, {{1, 4}, {8, -2}}, 133, 93};
// Black: 132 printing pixels over 83 levels, four at 255.
constexpr FourDotScreen kBlackScreen = {
    {68, 68, {42, 2}}, {{10, -6}, {6, 10}}, {{5, -3}, {3, 5}}, 132, 83};

}  // namespace

constexpr DitherMatrix<12, 18> FineCyanDither = {
    115, 164, 226, 229, 203, 43,  113, 162, 221, 221, 200, 38,   //
    110, 159, 231, 231, 206, 48,  149, 255, 255, 229, 15,  95,   //
    146, 239, 239, 221, 10,  92,  144, 249, 249, 231, 20,  95,   //
    190, 255, 255, 74,  103, 131, 185, 239, 239, 69,  100, 126,  //
    180, 249, 249, 82,  105, 133, 211, 195, 30,  108, 154, 208,  //
    208, 193, 25,  105, 151, 216, 216, 198, 36,  110, 157, 211,  //
    211, 2,   87,  139, 247, 247, 208, 0,   85,  136, 255, 255,  //
    216, 5,   90,  141, 236, 236, 56,  97,  121, 172, 247, 247,  //
    51,  97,  118, 167, 255, 255, 61,  100, 123, 177, 236, 236,  //
    113, 162, 218, 218, 200, 36,  110, 159, 231, 231, 206, 46,   //
    115, 164, 226, 224, 203, 41,  146, 242, 242, 218, 7,   92,   //
    144, 252, 252, 231, 18,  95,  149, 255, 255, 224, 12,  95,   //
    182, 242, 242, 64,  100, 126, 180, 252, 252, 79,  105, 133,  //
    188, 255, 255, 72,  103, 128, 208, 193, 23,  105, 151, 216,  //
    216, 198, 33,  110, 157, 213, 213, 195, 28,  108, 154, 208,  //
    208, 0,   85,  136, 234, 234, 216, 5,   90,  141, 255, 255,  //
    213, 2,   87,  139, 244, 244, 48,  97,  118, 167, 234, 234,  //
    59,  100, 123, 175, 255, 255, 54,  97,  121, 170, 244, 244};

constexpr DitherMatrix<68, 68> FineMagentaDither = BuildFourDotScreen(kMagentaScreen);

constexpr DitherMatrix<10, 15> FineYellowDither = {
    255, 213, 177, 216, 255, 255, 236, 203, 239, 255,  //
    255, 226, 193, 229, 255, 252, 115, 77,  100, 247,  //
    247, 121, 95,  110, 255, 255, 121, 85,  105, 252,  //
    170, 54,  0,   23,  159, 175, 59,  18,  33,  164,  //
    172, 56,  10,  28,  162, 170, 64,  48,  36,  159,  //
    175, 72,  51,  46,  164, 172, 69,  51,  41,  162,  //
    255, 151, 121, 144, 255, 255, 157, 136, 149, 255,  //
    255, 154, 126, 146, 255, 255, 231, 198, 234, 255,  //
    255, 218, 185, 221, 255, 255, 242, 208, 244, 255,  //
    255, 121, 90,  108, 255, 255, 118, 79,  103, 249,  //
    249, 121, 97,  113, 255, 172, 59,  12,  30,  162,  //
    172, 56,  5,   25,  159, 175, 61,  20,  33,  167,  //
    172, 72,  51,  43,  162, 172, 66,  51,  38,  159,  //
    175, 74,  54,  48,  167, 255, 157, 131, 146, 255,  //
    255, 154, 123, 144, 255, 255, 159, 141, 149, 255};

constexpr DitherMatrix<68, 68> FineBlackDither = BuildFourDotScreen(kBlackScreen);

constexpr DitherMatrix<24, 18> Fine2CyanDither = screen::DoubleColumns<12, 18>(FineCyanDither);
constexpr DitherMatrix<136, 68> Fine2MagentaDither =
    screen::DoubleColumns<68, 68>(FineMagentaDither);
constexpr DitherMatrix<20, 15> Fine2YellowDither = screen::DoubleColumns<10, 15>(FineYellowDither);
constexpr DitherMatrix<136, 68> Fine2BlackDither = screen::DoubleColumns<68, 68>(FineBlackDither);

namespace {

using screen::CountOf;
using screen::DistinctValues;
using screen::OccurrencesAreMultiples;

// The listed screens: their value counts, and the 0s that let a sample of 1
// set a few dots.
static_assert(screen::AllWithin(FineCyanDither, 0, 255));
static_assert(DistinctValues(FineCyanDither) == 98);
static_assert(CountOf(FineCyanDither, 255) == 16 && CountOf(FineCyanDither, 0) == 2);
static_assert(screen::AllWithin(FineYellowDither, 0, 255));
static_assert(DistinctValues(FineYellowDither) == 82);
static_assert(CountOf(FineYellowDither, 255) == 30 && CountOf(FineYellowDither, 0) == 1);

// The built screens: unchanged by their shifts; every value once, twice or
// three times (four for black) per screen cell; the counts of values, of 255
// and of 0.
static_assert(screen::UnchangedByShift(FineMagentaDither, 68, 68, {26, 2}));
static_assert(DistinctValues(FineMagentaDither) == 94);
static_assert(OccurrencesAreMultiples(FineMagentaDither, 34, 3));
static_assert(CountOf(FineMagentaDither, 255) == 102 && CountOf(FineMagentaDither, 0) == 34);
static_assert(screen::UnchangedByShift(FineBlackDither, 68, 68, {42, 2}));
static_assert(DistinctValues(FineBlackDither) == 84);
static_assert(OccurrencesAreMultiples(FineBlackDither, 34, 4));
static_assert(CountOf(FineBlackDither, 255) == 136 && CountOf(FineBlackDither, 0) == 34);

// Column doubling keeps the values and doubles every count.
template <int W, int H>
constexpr bool IsDoubled(const DitherMatrix<2 * W, H>& wide, const DitherMatrix<W, H>& m) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (wide[y * 2 * W + 2 * x] != m[y * W + x] || wide[y * 2 * W + 2 * x + 1] != m[y * W + x])
        return false;
  return true;
}
static_assert(IsDoubled<12, 18>(Fine2CyanDither, FineCyanDither));
static_assert(IsDoubled<68, 68>(Fine2MagentaDither, FineMagentaDither));
static_assert(IsDoubled<10, 15>(Fine2YellowDither, FineYellowDither));
static_assert(IsDoubled<68, 68>(Fine2BlackDither, FineBlackDither));
static_assert(CountOf(Fine2CyanDither, 255) == 32 && CountOf(Fine2MagentaDither, 255) == 204 &&
              CountOf(Fine2YellowDither, 255) == 60 && CountOf(Fine2BlackDither, 255) == 272);

}  // namespace

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(FineMagentaDither) == 0xb380ca7071c7c7a5u);
static_assert(screen::Digest(FineBlackDither) == 0x1bfe8ed43eadbdb5u);
