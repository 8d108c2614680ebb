// Variable-dot grey for media types 16 and 17: a screen of round dots 37
// pixels in area.
//
// The screen lattice of (12, -2) and (2, 12), the matrix's shift (62, 2) on a
// 74 x 74 torus, has a cell of 148 pixels; it holds the four dots of the
// lattice of (6, -1) and (1, 6), each a round dot of 37 pixels growing ring by
// ring from its centre pixel, one pixel a level.  At each level the four dots
// of a cell take their pixel in a dispersed turn (rank 0 to 3).
#include "dither/screen_builder.h"
#include "dither/tables.h"

namespace {

constexpr screen::VDotScreen kGrayScreen = {
    {74, 74, {62, 2}}, {{12, -2}, {2, 12}}, {{6, -1}, {1, 6}}, screen::kOnPixel, false};

}  // namespace

constexpr DitherMatrix<74, 74> VDitherGray100 =
    screen::BuildVDotScreen<74, 74, 148, 4, 37>(kGrayScreen);

constexpr std::array<ToneEntry, 280> VToneGray100 =
    screen::ToneTable<280>(std::array{2, 1, 5, 6, 6, 7, 7, 9, 9, 9, 9, 8, 8,  9,  8,  8,  8,  8, 8,
                                      8, 8, 8, 7, 8, 8, 9, 8, 9, 8, 9, 8, 10, 10, 15, 15, 15, 15});

constexpr Curve256 VAdjustGray100 = screen::IdentityCurve();

constexpr Curve256 VExpandGray100 =
    screen::MonotoneCurve(std::array<screen::Point, 4>{{{0, 0}, {1, 1}, {128, 713}, {255, 1116}}});

constexpr std::array<std::int16_t, 1> VBases100 = {0};

// Each value 1..148 once per screen cell (37 times), 37 levels as in the tone
// table, whose level 1 has 14 entries; the expansion reaches exactly its
// last entry.
static_assert(screen::VDotOccurrences(VDitherGray100, false, 148, 37, 37));
static_assert(screen::UnchangedByShift(VDitherGray100, 74, 74, {62, 2}));
static_assert(screen::VDotLevels(VDitherGray100, false) == 37);
static_assert(VToneGray100.back() == ToneEntry{37, 15});
static_assert(screen::EntriesOfLevel(VToneGray100, 1) == 14);
static_assert(screen::IsIdentity(VAdjustGray100));
static_assert(screen::ValidExpansion(VExpandGray100, VToneGray100, false, 1, 713, 1116));

// The built tables, pinned: a builder change that moves any value fails here
// until the digest is updated on purpose.
static_assert(screen::Digest(VDitherGray100) == 0x8b89f428238a33c9u);
static_assert(screen::Digest(VExpandGray100) == 0xfaac3e43da5f842cu);
