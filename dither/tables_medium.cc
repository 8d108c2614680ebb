// The 300 dpi matrices.
//
// Cyan and yellow are small screens kept as the printer's values.  Magenta and
// black are 30 x 30 clustered-dot screens on a square lattice turned by about
// 18 degrees: a screen cell of 90 pixels holds nine dots of ten pixels, and a
// threshold level i (of 90, value i * 255 / 89) gives dot i mod 9 its pixel
// number i div 9.  So the nine dots grow in turn, one pixel each, and every
// dot fills in three short runs over three rows.  Both screens are built from
// the dot shape, the dot lattice and the turn of the nine dots; their first
// rows are checked against the printer's.
#include "dither/screen_builder.h"
#include "dither/tables.h"

constexpr DitherMatrix<8, 8> MediumCyanDither = {
    0,   36,  222, 246, 8,   48,  230, 255,  //
    76,  129, 182, 202, 97,  141, 186, 210,  //
    218, 238, 20,  56,  214, 234, 28,  64,   //
    174, 198, 113, 149, 165, 190, 121, 157,  //
    16,  52,  234, 255, 4,   44,  226, 250,  //
    105, 145, 186, 210, 89,  133, 182, 206,  //
    214, 238, 32,  68,  218, 242, 24,  60,   //
    170, 194, 125, 161, 178, 198, 121, 153,
};

constexpr DitherMatrix<9, 9> MediumYellowDither = {
    172, 200, 229, 181, 210, 239, 191, 219, 248,  //
    0,   28,  57,  9,   38,  66,  19,  47,  76,   //
    86,  114, 143, 95,  124, 153, 105, 133, 162,  //
    184, 213, 242, 194, 223, 251, 175, 204, 232,  //
    12,  41,  70,  22,  51,  79,  3,   31,  60,   //
    98,  127, 156, 108, 137, 165, 89,  117, 146,  //
    197, 226, 255, 178, 207, 235, 188, 216, 245,  //
    25,  54,  82,  6,   35,  63,  15,  44,  73,   //
    111, 140, 168, 92,  121, 149, 102, 130, 159,
};

namespace {

using screen::Lattice;
using screen::Torus;
using screen::Vec;

// A 30 x 30 screen of nine dots per cell.  The dots sit on origin + D; the
// turn of a dot is read from a 3 x 3 table by its lattice coordinates mod 3
// (the screen lattice is 3 D, so these name the nine dots of a cell).
struct NineDotScreen {
  Torus torus;
  Lattice dots;
  Vec origin;
  screen::DotShape<10> shape;
  int turn[3][3];
};

consteval DitherMatrix<30, 30> BuildNineDotScreen(const NineDotScreen& s) {
  if (!screen::IsShapeOf(s.shape, s.dots)) throw "not a dot shape";
  const auto layout = screen::LayOutDots<90, 9>(s.torus, s.dots, s.shape, s.origin);
  std::array<std::int16_t, 90> band{};
  for (int i = 0; i < 90; ++i) {
    const Vec c = s.dots.Coords(layout.dot_points[layout.dot[i]] - s.origin);
    const int level = 9 * layout.step[i] + s.turn[screen::Mod(c.x, 3)][screen::Mod(c.y, 3)];
    band[i] = static_cast<std::int16_t>(level * 255 / 89);
  }
  return screen::TileBand<30, 30>(s.torus, band);
}

// Black: runs of 3, 3 and 4 pixels that snake right, left, right down three
// rows; the dots lie on the lattice of (3, 1) and (1, -3), the screen cell on
// that of (9, 3) and (3, -9).
constexpr NineDotScreen kBlackScreen = {
    {30, 30, {9, 3}},
    {{3, 1}, {1, -3}},
    {7, 0},
    {{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}, {-1, 2}, {0, 2}, {1, 2}, {2, 2}}},
    {{1, 5, 6}, {0, 4, 8}, {7, 2, 3}},
};

// Magenta, the mirror angle: runs of 3 rightward, 3 rightward closed by the
// tenth pixel at their right end, and 3 leftward; dots on (3, -1) and (1, 3),
// the screen cell on (9, -3) and (3, 9).
constexpr NineDotScreen kMagentaScreen = {
    {30, 30, {21, 3}},
    {{3, -1}, {1, 3}},
    {3, 0},
    {{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 2}, {2, 2}, {1, 2}, {3, 1}}},
    {{3, 2, 7}, {6, 5, 1}, {8, 4, 0}},
};

}  // namespace

constexpr DitherMatrix<30, 30> MediumMagentaDither = BuildNineDotScreen(kMagentaScreen);
constexpr DitherMatrix<30, 30> MediumBlackDither = BuildNineDotScreen(kBlackScreen);

namespace {

using screen::CountOf;
using screen::DistinctValues;
using screen::OccurrencesAreMultiples;

// Cyan: 54 values, 44 once and 10 twice; two cells never print.
static_assert(screen::AllWithin(MediumCyanDither, 0, 255));
static_assert(DistinctValues(MediumCyanDither) == 54);
static_assert(OccurrencesAreMultiples(MediumCyanDither, 1, 2));
static_assert(CountOf(MediumCyanDither, 255) == 2 && CountOf(MediumCyanDither, 0) == 1);

// Yellow: 81 values, each once.
static_assert(screen::AllWithin(MediumYellowDither, 0, 255));
static_assert(DistinctValues(MediumYellowDither) == 81);
static_assert(OccurrencesAreMultiples(MediumYellowDither, 1, 1));
static_assert(CountOf(MediumYellowDither, 255) == 1 && CountOf(MediumYellowDither, 0) == 1);

// Magenta and black: 90 values each 10 times (one per screen cell), ten
// cells holding 255 and ten holding 0, unchanged by the screen's shift, and
// the first rows the printer uses.
constexpr std::array<std::int16_t, 30> kBlackRow0 = {154, 180, 206, 232, 148, 123, 97, 2,  28, 54,
                                                     166, 191, 217, 243, 134, 108, 83, 14, 40, 65,
                                                     177, 203, 229, 255, 137, 111, 85, 17, 42, 68};
constexpr std::array<std::int16_t, 30> kMagentaRow0 = {
    206, 180, 154, 8,   34,  60,  94,  120, 146, 249, 229, 203, 177, 5,   31,
    57,  91,  117, 143, 246, 217, 191, 166, 20,  45,  71,  80,  106, 131, 234};

static_assert(screen::RowIs(MediumBlackDither, 0, kBlackRow0));
static_assert(screen::RowIs(MediumMagentaDither, 0, kMagentaRow0));
static_assert(screen::UnchangedByShift(MediumBlackDither, 30, 30, {9, 3}));
static_assert(screen::UnchangedByShift(MediumMagentaDither, 30, 30, {21, 3}));
static_assert(DistinctValues(MediumBlackDither) == 90 && DistinctValues(MediumMagentaDither) == 90);
static_assert(OccurrencesAreMultiples(MediumBlackDither, 10, 1) &&
              OccurrencesAreMultiples(MediumMagentaDither, 10, 1));
static_assert(CountOf(MediumBlackDither, 255) == 10 && CountOf(MediumBlackDither, 0) == 10);
static_assert(CountOf(MediumMagentaDither, 255) == 10 && CountOf(MediumMagentaDither, 0) == 10);

}  // namespace

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(MediumMagentaDither) == 0x446be07f142b22adu);
static_assert(screen::Digest(MediumBlackDither) == 0xbb9b6215ff0b0a3du);
