// Variable-dot grey for media other than types 16 and 17: dots 13 pixels in
// area.
//
// The screen lattice of (2, 6) and (8, -2), the matrix's shift (18, 2) on a
// 26 x 26 torus, has a cell of 52 pixels; its half-lattice of (1, 3) and
// (4, -1) places four dots in it, each a round dot of 13 pixels growing from
// its centre pixel, one pixel a level, the four dots in a dispersed turn.
#include "dither/screen_builder.h"
#include "dither/tables.h"

namespace {

constexpr screen::VDotScreen kGrayScreen = {
    {26, 26, {18, 2}}, {{2, 6}, {8, -2}}, {{1, 3}, {4, -1}}, screen::kOnPixel, false};

}  // namespace

constexpr DitherMatrix<26, 26> VDitherGray160 =
    screen::BuildVDotScreen<26, 26, 52, 4, 13>(kGrayScreen);

constexpr std::array<ToneEntry, 135> VToneGray160 =
    screen::ToneTable<135>(std::array{9, 1, 2, 3, 3, 5, 5, 5, 5, 7, 8, 9, 12});

constexpr Curve256 VAdjustGray160 = screen::IdentityCurve();

constexpr Curve256 VExpandGray160 =
    screen::MonotoneCurve(std::array<screen::Point, 4>{{{0, 0}, {1, 4}, {128, 339}, {255, 536}}});

constexpr std::array<std::int16_t, 1> VBases160 = {0};

static_assert(screen::VDotOccurrences(VDitherGray160, false, 52, 13, 13));
static_assert(screen::UnchangedByShift(VDitherGray160, 26, 26, {18, 2}));
static_assert(screen::VDotLevels(VDitherGray160, false) == 13);
static_assert(VToneGray160.back() == ToneEntry{13, 15});
static_assert(screen::EntriesOfLevel(VToneGray160, 1) == 7);
static_assert(screen::IsIdentity(VAdjustGray160));
static_assert(screen::ValidExpansion(VExpandGray160, VToneGray160, false, 4, 339, 536));

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(VDitherGray160) == 0xd8d70bdd7d0e49b9u);
static_assert(screen::Digest(VExpandGray160) == 0x5d9351b6a0b69c51u);
