// The constant tables of the halftoning routines.  They are compiled into the
// program and only ever read: a page binds pointers to them.
//
// A dither matrix is W x H signed 16-bit thresholds stored row by row; a plane
// reads the entry at column x mod W and row y mod H for pixel x of line y.
// The variable-dot sets (100 and 160 for grey pages; 145 and 190 for the four
// planes of a colour page) hold per plane a matrix of cell values 1..N, a tone
// table of (level, dot code) steps, an adjustment table, an expansion table,
// and one tone base per plane.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using ToneEntry = std::array<std::uint8_t, 2>;  // level, dot code

template <int W, int H>
using DitherMatrix = std::array<std::int16_t, static_cast<std::size_t>(W) * H>;
using Curve256 = std::array<std::int16_t, 256>;

// Photo mode: thresholds 1 to 17 that pick between two neighbouring codes.
extern const DitherMatrix<17, 17> ContoneAllDither;

// 300 dpi.
extern const DitherMatrix<8, 8> MediumCyanDither;
extern const DitherMatrix<30, 30> MediumMagentaDither;
extern const DitherMatrix<9, 9> MediumYellowDither;
extern const DitherMatrix<30, 30> MediumBlackDither;

// 600 dpi.
extern const DitherMatrix<12, 18> FineCyanDither;
extern const DitherMatrix<68, 68> FineMagentaDither;
extern const DitherMatrix<10, 15> FineYellowDither;
extern const DitherMatrix<68, 68> FineBlackDither;

// 1200 dpi: the 600 dpi matrices with every column doubled.
extern const DitherMatrix<24, 18> Fine2CyanDither;
extern const DitherMatrix<136, 68> Fine2MagentaDither;
extern const DitherMatrix<20, 15> Fine2YellowDither;
extern const DitherMatrix<136, 68> Fine2BlackDither;

// Variable-dot grey, media types 16 and 17.
extern const DitherMatrix<74, 74> VDitherGray100;
extern const std::array<ToneEntry, 280> VToneGray100;
extern const Curve256 VAdjustGray100;
extern const Curve256 VExpandGray100;
extern const std::array<std::int16_t, 1> VBases100;

// Variable-dot grey, other media.
extern const DitherMatrix<26, 26> VDitherGray160;
extern const std::array<ToneEntry, 135> VToneGray160;
extern const Curve256 VAdjustGray160;
extern const Curve256 VExpandGray160;
extern const std::array<std::int16_t, 1> VBases160;

// Variable-dot colour, other media.
extern const DitherMatrix<68, 68> VDitherCyan145;
extern const DitherMatrix<64, 64> VDitherMagenta145;
extern const DitherMatrix<24, 24> VDitherYellow145;
extern const DitherMatrix<64, 32> VDitherBlack145;
extern const std::array<ToneEntry, 121> VToneCyan145;
extern const std::array<ToneEntry, 124> VToneMagenta145;
extern const std::array<ToneEntry, 95> VToneYellow145;
extern const std::array<ToneEntry, 86> VToneBlack145;
extern const Curve256 VAdjustCyan145, VAdjustMagenta145, VAdjustYellow145, VAdjustBlack145;
extern const Curve256 VExpandCyan145, VExpandMagenta145, VExpandYellow145, VExpandBlack145;
extern const std::array<std::int16_t, 4> VBases145;

// Variable-dot colour, media types 16 and 17.
extern const DitherMatrix<40, 40> VDitherCyan190;
extern const DitherMatrix<40, 40> VDitherMagenta190;
extern const DitherMatrix<12, 12> VDitherYellow190;
extern const DitherMatrix<24, 24> VDitherBlack190;
extern const std::array<ToneEntry, 79> VToneCyan190;
extern const std::array<ToneEntry, 79> VToneMagenta190;
extern const std::array<ToneEntry, 232> VToneYellow190;
extern const std::array<ToneEntry, 84> VToneBlack190;
extern const Curve256 VAdjustCyan190, VAdjustMagenta190, VAdjustYellow190, VAdjustBlack190;
extern const Curve256 VExpandCyan190, VExpandMagenta190, VExpandYellow190, VExpandBlack190;
extern const std::array<std::int16_t, 4> VBases190;
