// Variable-dot colour for media types 16 and 17: dots of 9 to 18 pixels, on
// a different lattice per plane.
//
// Yellow is the printer's 12 x 12 matrix: 16 dots on a 3 x 3 grid, each
// growing from one corner of its square, level 1 their corners in a 4 x 4
// ordered turn and each later level the next pixel of four of the dots.
// Cyan, magenta and black follow the 145 set's build: every screen cell holds
// 16 cell dots (screen::CellDot) that grow one pixel a level, level 1 the
// centres ranked 0..15 in a dispersed turn, later levels the next pixel of
// every dot in four groups of four.
//   cyan     40 x 40, shift (12, 4): cell (12, 4), (4, -12); dots (3, 1), (1, -3), 10 pixels
//   magenta  40 x 40, shift (28, 4): the mirror, cell (12, -4), (4, 12); dots (3, -1), (1, 3)
//   black    24 x 24, shift (12, 12): cell (12, 12), (12, -12); dots (3, 3), (3, -3), 18 pixels
// Cyan and magenta are centred on a pixel corner: centred on a pixel, their
// lattices put every fifth dot of one on a dot of the other, and where the
// two overlap in the shadows swung by 8 points with registration.  Black's
// last pixels close its gaps as compact holes.  Black cannot keep off
// yellow's grid: every lattice of 16 dots in its screen cell lies on it.
//
// The black adjustment prints no black below sample 181 and then rises
// steeply along a monotone cubic through the printer's points to 255.  Its
// expansion passes through (192, 360) as well, so that it still rises over
// the darkest adjusted values instead of flattening out at the top.
#include "dither/screen_builder.h"
#include "dither/tables.h"

namespace {

using screen::kOnCorner;
using screen::kOnPixel;
using screen::Point;
using screen::VDotScreen;

constexpr VDotScreen kCyanScreen = {
    {40, 40, {12, 4}}, {{12, 4}, {4, -12}}, {{3, 1}, {1, -3}}, kOnCorner, true, true};
constexpr VDotScreen kMagentaScreen = {
    {40, 40, {28, 4}}, {{12, -4}, {4, 12}}, {{3, -1}, {1, 3}}, kOnCorner, true, true};
constexpr VDotScreen kBlackScreen = {
    {24, 24, {12, 12}}, {{12, 12}, {12, -12}}, {{3, 3}, {3, -3}}, kOnPixel, true, true};

constexpr std::array<Point, 8> kBlackPoints = {
    {{0, 0}, {180, 0}, {181, 1}, {192, 15}, {224, 146}, {240, 218}, {254, 254}, {255, 255}}};

}  // namespace

constexpr DitherMatrix<40, 40> VDitherCyan190 =
    screen::BuildVDotScreen<40, 40, 160, 16, 10>(kCyanScreen);
constexpr DitherMatrix<40, 40> VDitherMagenta190 =
    screen::BuildVDotScreen<40, 40, 160, 16, 10>(kMagentaScreen);
constexpr DitherMatrix<12, 12> VDitherYellow190 = {
    81, 113, 129, 93, 125, 141, 84, 116, 132, 96, 128, 144,  //
    33, 49,  97,  45, 61,  109, 36, 52,  100, 48, 64,  112,  //
    1,  17,  65,  13, 29,  77,  4,  20,  68,  16, 32,  80,   //
    89, 121, 137, 85, 117, 133, 92, 124, 140, 88, 120, 136,  //
    41, 57,  105, 37, 53,  101, 44, 60,  108, 40, 56,  104,  //
    9,  25,  73,  5,  21,  69,  12, 28,  76,  8,  24,  72,   //
    83, 115, 131, 95, 127, 143, 82, 114, 130, 94, 126, 142,  //
    35, 51,  99,  47, 63,  111, 34, 50,  98,  46, 62,  110,  //
    3,  19,  67,  15, 31,  79,  2,  18,  66,  14, 30,  78,   //
    91, 123, 139, 87, 119, 135, 90, 122, 138, 86, 118, 134,  //
    43, 59,  107, 39, 55,  103, 42, 58,  106, 38, 54,  102,  //
    11, 27,  75,  7,  23,  71,  10, 26,  74,  6,  22,  70};
constexpr DitherMatrix<24, 24> VDitherBlack190 =
    screen::BuildVDotScreen<24, 24, 288, 16, 18>(kBlackScreen);

constexpr std::array<ToneEntry, 79> VToneCyan190 =
    screen::ToneTable<79>(std::array{3, 1, 5, 7, 9, 9, 9, 11, 13, 15});
constexpr std::array<ToneEntry, 79> VToneMagenta190 =
    screen::ToneTable<79>(std::array{3, 1, 5, 7, 9, 9, 9, 11, 13, 15});
constexpr std::array<ToneEntry, 232> VToneYellow190 = screen::ToneTable<232>(
    std::array{9, 8, 8, 8, 8,  1,  1,  1,  1,  10, 10, 10, 10, 11, 11, 11, 11,
               5, 5, 5, 5, 12, 12, 12, 12, 12, 12, 12, 12, 13, 13, 13, 13});
constexpr std::array<ToneEntry, 84> VToneBlack190 = screen::ToneTable<84>(
    std::array{10, 9, 1, 12, 10, 12, 3, 6, 13, 13, 15, 14, 13, 14, 15, 15, 15, 15});

constexpr Curve256 VAdjustCyan190 = screen::IdentityCurve();
constexpr Curve256 VAdjustMagenta190 = screen::IdentityCurve();
constexpr Curve256 VAdjustYellow190 = screen::IdentityCurve();
constexpr Curve256 VAdjustBlack190 = screen::MonotoneCurve(kBlackPoints);

constexpr Curve256 VExpandCyan190 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 1}, {128, 292}, {255, 468}}});
constexpr Curve256 VExpandMagenta190 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 1}, {128, 311}, {255, 468}}});
constexpr Curve256 VExpandYellow190 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 2}, {128, 414}, {255, 1008}}});
constexpr Curve256 VExpandBlack190 = screen::MonotoneCurve(
    std::array<Point, 5>{{{0, 0}, {1, 2}, {128, 308}, {192, 360}, {255, 404}}});

constexpr std::array<std::int16_t, 4> VBases190 = {208, 208, 112, 96};

namespace {

using screen::EntriesOfLevel;
using screen::UnchangedByShift;
using screen::ValidExpansion;
using screen::VDotLevels;
using screen::VDotOccurrences;

static_assert(VDotOccurrences(VDitherCyan190, true, 52, 10, 40));
static_assert(VDotOccurrences(VDitherMagenta190, true, 52, 10, 40));
static_assert(VDotOccurrences(VDitherYellow190, true, 144, 1, 1));
static_assert(VDotOccurrences(VDitherBlack190, true, 84, 2, 8));
static_assert(UnchangedByShift(VDitherCyan190, 40, 40, {12, 4}));
static_assert(UnchangedByShift(VDitherMagenta190, 40, 40, {28, 4}));
static_assert(UnchangedByShift(VDitherBlack190, 24, 24, {12, 12}));
static_assert(VDotLevels(VDitherCyan190, true) == 10 && VToneCyan190.back() == ToneEntry{10, 15});
static_assert(VDotLevels(VDitherMagenta190, true) == 10 &&
              VToneMagenta190.back() == ToneEntry{10, 15});
static_assert(VDotLevels(VDitherYellow190, true) == 33 &&
              VToneYellow190.back() == ToneEntry{33, 15});
static_assert(VDotLevels(VDitherBlack190, true) == 18 && VToneBlack190.back() == ToneEntry{18, 15});

static_assert(EntriesOfLevel(VToneCyan190, 1) == 13 && VBases190[0] == 16 * 13);
static_assert(EntriesOfLevel(VToneMagenta190, 1) == 13 && VBases190[1] == 16 * 13);
static_assert(EntriesOfLevel(VToneYellow190, 1) == 7 && VBases190[2] == 16 * 7);
static_assert(EntriesOfLevel(VToneBlack190, 1) == 6 && VBases190[3] == 16 * 6);

static_assert(screen::IsIdentity(VAdjustCyan190) && screen::IsIdentity(VAdjustMagenta190) &&
              screen::IsIdentity(VAdjustYellow190));
static_assert(screen::NeverDecreases(VAdjustBlack190) &&
              screen::PassesThrough(VAdjustBlack190, kBlackPoints));

static_assert(ValidExpansion(VExpandCyan190, VToneCyan190, true, 1, 292, 468));
static_assert(ValidExpansion(VExpandMagenta190, VToneMagenta190, true, 1, 311, 468));
static_assert(ValidExpansion(VExpandYellow190, VToneYellow190, true, 2, 414, 1008));
static_assert(ValidExpansion(VExpandBlack190, VToneBlack190, true, 2, 308, 404));
// Black's expansion still climbs over the darkest adjusted values (it stood
// at 402 to 404 from 240 on when it went through the three listed points only).
static_assert(VExpandBlack190[255] - VExpandBlack190[240] >= 8);

}  // namespace

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(VDitherCyan190) == 0x745d80440c1afbc5u);
static_assert(screen::Digest(VDitherMagenta190) == 0xea27e1f4590c9645u);
static_assert(screen::Digest(VDitherBlack190) == 0x68383d2daa9b8205u);
static_assert(screen::Digest(VAdjustBlack190) == 0x273bf6280f492356u);
static_assert(screen::Digest(VExpandCyan190) == 0xbee8ece5c401402fu);
static_assert(screen::Digest(VExpandMagenta190) == 0xa892c4cdb0c8e6c3u);
static_assert(screen::Digest(VExpandYellow190) == 0xe79ddba7bbe10ee5u);
static_assert(screen::Digest(VExpandBlack190) == 0x63eeb8f8d91fe347u);
