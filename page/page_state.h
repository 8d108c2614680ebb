// The page state: the globals through which StartPage hands the current page
// to the page loop, the halftoning routines and the output stage.
//
// StartPage sets them at the start of every page; they stay valid through the
// page's lines and its finish, and EndPage releases the buffers and spool
// files.  Entries at or above PrinterPlanes are neither written nor read for
// the page, and the tables are constant data the state only points to.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "dither/tables.h"

inline constexpr int kMaxPlanes = 4;
inline constexpr int kColorModes = 6;

// Colour modes, the values of PrinterColors.
inline constexpr int kModeProcess = 0;      // CMYK, or black alone
inline constexpr int kModeGoldBlack = 1;    // Gold, M. Magenta, M. Cyan, Black
inline constexpr int kModeGoldSilver = 2;   // Gold, M. Magenta, M. Cyan, Silver
inline constexpr int kModePhoto = 3;        // Yellow, Magenta, Cyan; 4-bit codes
inline constexpr int kModeWhite = 4;        // one White plane
inline constexpr int kModeVariableDot = 5;  // grey, or CMY plus generated black

// Scalars.
extern int PrinterPlanes;                // planes of the page: 1, 3 or 4
extern int PrinterColors;                // colour mode 0 to 5
extern int DotLength;                    // bytes in one dot row of one plane
extern const std::int16_t* DitherBases;  // variable-dot tone bases, per plane
extern std::array<std::array<std::uint8_t, 256>, 3> DitherLUTs;  // photo curves

// Per-plane arrays.  Only entry 0 of InputBuffers and DotBuffers owns memory:
// the page's one block of input bands and its one block of dot rows.
extern std::array<std::uint8_t*, kMaxPlanes> InputBuffers;
extern std::array<std::uint8_t*, kMaxPlanes> DotBuffers;
extern std::array<int, kMaxPlanes> PrinterFiles;  // spool fd, or 1 for stdout
extern std::array<int, kMaxPlanes> OutputFeed;    // blank rows not yet sent
extern std::array<const std::int16_t*, kMaxPlanes> DitherData;
extern std::array<int, kMaxPlanes> DitherWidth;
extern std::array<int, kMaxPlanes> DitherHeight;
extern std::array<const ToneEntry*, kMaxPlanes> DitherTone;
extern std::array<const std::int16_t*, kMaxPlanes> DitherExpand;
extern std::array<const std::int16_t*, kMaxPlanes> DitherAdjust;

// Plane names per colour mode, for the status lines.
extern const std::array<std::array<const char*, kMaxPlanes>, kColorModes> ColorNames;

// Sets up the page state from the page header and sends the page-start
// commands and plane 0's command sequence.  Ends the process with status 1 when
// a spool file or a buffer block cannot be had.
void StartPage(ppd_file_t* ppd, cups_page_header_t* header);

// The colour-mode decision: planes and mode from cupsColorSpace (with
// cupsCompression as a second key for CUPS_CSPACE_K).
void DecideColorMode(const cups_page_header_t& header, int& planes, int& colors);

// Bytes of one dot row: two pixels per byte in the 4-bit modes, eight in the
// others.
std::uint64_t DotRowBytes(const cups_page_header_t& header, int colors);

// Binds the dither tables of the page's mode, resolution and media type to its
// planes, and builds the photo curves in mode 3.  A standard-mode page at a
// resolution without screens of its own gets the nearest family's.
void BindDitherTables(const cups_page_header_t& header);

// Allocates the page's two zero-filled blocks and carves them into planes;
// false when either allocation fails.  ReleasePageBuffers frees both.
bool AllocatePageBuffers(const cups_page_header_t& header);
void ReleasePageBuffers();

// True when the page header cannot be printed, with the one "ERROR: " line
// that says why in message.  Catches raster data the filter does not read
// (other than 8 bits per colour), lines longer than the page's input block,
// and dot rows longer than a row command can carry.
bool PageHeaderProblem(const cups_page_header_t& header, char* message, std::size_t size);
