// Variable-dot colour for media other than types 16 and 17: dots of 16 to 18
// pixels, on a different lattice per plane so that the four screens lie at
// different angles.
//
// Every screen cell holds 16 dots that grow one pixel a level: level 1 is the
// dot centres, ranked 0..15 in a dispersed turn; each later level adds the
// next pixel of every dot, the dots in four groups of four (rank 0..3).
//   cyan     68 x 68, shift (16, 4): cell (16, 4), (4, -16); dots (4, 1), (1, -4), 17 pixels
//   magenta  64 x 64, shift (52, 4): cell (12, -4), (4, 20); dots on a 4 x 4 grid, 16 pixels
//   yellow   24 x 24, shift (12, 12): cell (12, 12), (12, -12); dots (3, 3), (3, -3), 18 pixels
//   black    64 x 32, shift (24, 4): cell (8, 12), (16, -8); dots (2, 3), (4, -2), 16 pixels
//
// Each ink goes down in its own pass, so planes land a pixel or two off each
// other.  Black therefore keeps off magenta's 4-pixel columns: on a lattice
// of its own, centred on a pixel corner, its overlap with each colour barely
// moves with registration, and a neutral shadow keeps its hue.  Yellow and
// black grow as cell dots (screen::CellDot).  Yellow's are centred on the
// midpoint of a pixel edge: their last pixels close the gaps between dots as
// compact holes of two pixels rather than chains of single blank pixels, and
// their overlap with magenta holds steady too.  (Centred on a pixel, the
// holes close as compactly but the overlap with magenta swings by 2.6 points
// at input 230; centred on a corner, the seams between dots stay open as
// single blank pixels.)  Cyan and magenta are round dots, magenta's centred
// on a corner.
//
// The black adjustment holds back black until the colours are well up: 0
// through sample 37, then a monotone cubic through the printer's points up to
// 153 at 255, so that full black never reaches code 15 everywhere.
#include "dither/screen_builder.h"
#include "dither/tables.h"

namespace {

using screen::kOnCorner;
using screen::kOnEdge;
using screen::kOnPixel;
using screen::Point;
using screen::VDotScreen;

constexpr VDotScreen kCyanScreen = {
    {68, 68, {16, 4}}, {{16, 4}, {4, -16}}, {{4, 1}, {1, -4}}, kOnPixel, true};
constexpr VDotScreen kMagentaScreen = {
    {64, 64, {52, 4}}, {{12, -4}, {4, 20}}, {{4, 0}, {0, 4}}, kOnCorner, true};
constexpr VDotScreen kYellowScreen = {
    {24, 24, {12, 12}}, {{12, 12}, {12, -12}}, {{3, 3}, {3, -3}}, kOnEdge, true, true};
constexpr VDotScreen kBlackScreen = {
    {64, 32, {24, 4}}, {{8, 12}, {16, -8}}, {{2, 3}, {4, -2}}, kOnCorner, true, true};

constexpr std::array<Point, 13> kBlackPoints = {{{0, 0},
                                                 {37, 0},
                                                 {38, 1},
                                                 {64, 2},
                                                 {96, 8},
                                                 {128, 19},
                                                 {160, 38},
                                                 {181, 55},
                                                 {192, 65},
                                                 {224, 104},
                                                 {240, 128},
                                                 {254, 151},
                                                 {255, 153}}};

}  // namespace

constexpr DitherMatrix<68, 68> VDitherCyan145 =
    screen::BuildVDotScreen<68, 68, 272, 16, 17>(kCyanScreen);
constexpr DitherMatrix<64, 64> VDitherMagenta145 =
    screen::BuildVDotScreen<64, 64, 256, 16, 16>(kMagentaScreen);
constexpr DitherMatrix<24, 24> VDitherYellow145 =
    screen::BuildVDotScreen<24, 24, 288, 16, 18>(kYellowScreen);
constexpr DitherMatrix<64, 32> VDitherBlack145 =
    screen::BuildVDotScreen<64, 32, 256, 16, 16>(kBlackScreen);

constexpr std::array<ToneEntry, 121> VToneCyan145 =
    screen::ToneTable<121>(std::array{4, 1, 5, 6, 7, 10, 10, 9, 9, 9, 9, 8, 9, 12, 14, 15, 15});
constexpr std::array<ToneEntry, 124> VToneMagenta145 =
    screen::ToneTable<124>(std::array{4, 1, 5, 7, 9, 9, 8, 8, 7, 9, 8, 9, 9, 12, 13, 15});
constexpr std::array<ToneEntry, 95> VToneYellow145 = screen::ToneTable<95>(
    std::array{9, 1, 1, 8, 8, 9, 11, 12, 12, 12, 13, 13, 13, 14, 13, 15, 15, 15});
constexpr std::array<ToneEntry, 86> VToneBlack145 =
    screen::ToneTable<86>(std::array{8, 6, 3, 8, 7, 11, 12, 12, 12, 11, 12, 14, 12, 13, 15, 15});

constexpr Curve256 VAdjustCyan145 = screen::IdentityCurve();
constexpr Curve256 VAdjustMagenta145 = screen::IdentityCurve();
constexpr Curve256 VAdjustYellow145 = screen::IdentityCurve();
constexpr Curve256 VAdjustBlack145 = screen::MonotoneCurve(kBlackPoints);

constexpr Curve256 VExpandCyan145 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 1}, {128, 364}, {255, 624}}});
constexpr Curve256 VExpandMagenta145 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 2}, {128, 405}, {255, 636}}});
constexpr Curve256 VExpandYellow145 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 1}, {128, 241}, {255, 460}}});
constexpr Curve256 VExpandBlack145 =
    screen::MonotoneCurve(std::array<Point, 4>{{{0, 0}, {1, 1}, {128, 261}, {255, 436}}});

constexpr std::array<std::int16_t, 4> VBases145 = {192, 192, 112, 128};

namespace {

using screen::EntriesOfLevel;
using screen::UnchangedByShift;
using screen::ValidExpansion;
using screen::VDotLevels;
using screen::VDotOccurrences;

// Values 1..N; the level-1 values once per dot centre of the tile, the later
// ones four times per screen cell; as many levels as the tone tables.
static_assert(VDotOccurrences(VDitherCyan145, true, 80, 17, 68));
static_assert(VDotOccurrences(VDitherMagenta145, true, 76, 16, 64));
static_assert(VDotOccurrences(VDitherYellow145, true, 84, 2, 8));
static_assert(VDotOccurrences(VDitherBlack145, true, 76, 8, 32));
static_assert(UnchangedByShift(VDitherCyan145, 68, 68, {16, 4}));
static_assert(UnchangedByShift(VDitherMagenta145, 64, 64, {52, 4}));
static_assert(UnchangedByShift(VDitherYellow145, 24, 24, {12, 12}));
static_assert(UnchangedByShift(VDitherBlack145, 64, 32, {24, 4}));
static_assert(VDotLevels(VDitherCyan145, true) == 17 && VToneCyan145.back() == ToneEntry{17, 15});
static_assert(VDotLevels(VDitherMagenta145, true) == 16 &&
              VToneMagenta145.back() == ToneEntry{16, 15});
static_assert(VDotLevels(VDitherYellow145, true) == 18 &&
              VToneYellow145.back() == ToneEntry{18, 15});
static_assert(VDotLevels(VDitherBlack145, true) == 16 && VToneBlack145.back() == ToneEntry{16, 15});

// The tone base of each plane is 16 times its level-1 entry count.
static_assert(EntriesOfLevel(VToneCyan145, 1) == 12 && VBases145[0] == 16 * 12);
static_assert(EntriesOfLevel(VToneMagenta145, 1) == 12 && VBases145[1] == 16 * 12);
static_assert(EntriesOfLevel(VToneYellow145, 1) == 7 && VBases145[2] == 16 * 7);
static_assert(EntriesOfLevel(VToneBlack145, 1) == 8 && VBases145[3] == 16 * 8);

static_assert(screen::IsIdentity(VAdjustCyan145) && screen::IsIdentity(VAdjustMagenta145) &&
              screen::IsIdentity(VAdjustYellow145));
static_assert(screen::NeverDecreases(VAdjustBlack145) &&
              screen::PassesThrough(VAdjustBlack145, kBlackPoints));

static_assert(ValidExpansion(VExpandCyan145, VToneCyan145, true, 1, 364, 624));
static_assert(ValidExpansion(VExpandMagenta145, VToneMagenta145, true, 2, 405, 636));
static_assert(ValidExpansion(VExpandYellow145, VToneYellow145, true, 1, 241, 460));
static_assert(ValidExpansion(VExpandBlack145, VToneBlack145, true, 1, 261, 436));

}  // namespace

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(VDitherCyan145) == 0x271ae648b241ef25u);
static_assert(screen::Digest(VDitherMagenta145) == 0x8ec98dc8a5b6fdc5u);
static_assert(screen::Digest(VDitherYellow145) == 0x5d3a58034e461c65u);
static_assert(screen::Digest(VDitherBlack145) == 0x68e28b7c4c39f2a5u);
static_assert(screen::Digest(VAdjustBlack145) == 0x5b63d0a297c6f3f6u);
static_assert(screen::Digest(VExpandCyan145) == 0x29f804f2fe5d2561u);
static_assert(screen::Digest(VExpandMagenta145) == 0xf1418680baff2824u);
static_assert(screen::Digest(VExpandYellow145) == 0x0a54b8c59e4d62ecu);
static_assert(screen::Digest(VExpandBlack145) == 0x26f130407a5f8cf4u);
