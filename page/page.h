// The page object: everything StartPage decides for one page, held from the
// page's start to its finish and passed explicitly to the page loop, the
// halftoning routines, the row spooler and the page finish.
//
// Per-plane entries at or above PrinterPlanes are neither written nor read.
// The dither tables are constant data the page only points to; the buffers
// and the spool files belong to the page and go with it.
#pragma once

#include <cups/raster.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "dither/kernels.h"
#include "dither/tables.h"
#include "output/spool_files.h"
#include "page/color_mode.h"
#include "page/job.h"

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using Block = std::unique_ptr<std::uint8_t[], FreeDeleter>;

struct Page {
  Page() = default;
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  cups_page_header2_t header{};  // as read from the raster

  int PrinterPlanes = 0;                          // 1, 3 or 4
  ColorMode PrinterColors = ColorMode::kProcess;  // selects the routine and the names
  int DotLength = 0;                              // bytes in one dot row of one plane

  // Input bands and dot rows, carved out of the page's two blocks.
  std::array<std::uint8_t*, kMaxPlanes> InputBuffers{};
  std::array<std::uint8_t*, kMaxPlanes> DotBuffers{};
  Block input_block, dot_block;

  // Where each plane's rows are spooled; none for plane 0 of a single copy,
  // whose rows go only to the printer.
  std::array<SpoolFile, kMaxPlanes> PrinterFiles;
  std::array<int, kMaxPlanes> OutputFeed{};  // blank rows not yet sent

  // The dither binding.
  std::array<const std::int16_t*, kMaxPlanes> DitherData{};
  std::array<int, kMaxPlanes> DitherWidth{};
  std::array<int, kMaxPlanes> DitherHeight{};
  std::array<std::array<std::uint8_t, 256>, 3> DitherLUTs{};  // photo tone curves
  std::array<const ToneEntry*, kMaxPlanes> DitherTone{};      // variable dot
  std::array<const std::int16_t*, kMaxPlanes> DitherExpand{};
  std::array<const std::int16_t*, kMaxPlanes> DitherAdjust{};
  const std::int16_t* DitherBases = nullptr;

  // The bound tables laid out for the vectorised kernels, per plane of the
  // page's routine.  kernels_ready is false when a bound table is one the
  // kernels do not take; the routines then run the plain code.
  std::array<ScreenPlane, kMaxPlanes> screen_planes;
  std::array<PhotoPlane, kMaxPlanes> photo_planes;
  std::array<VDotPlane, kMaxPlanes> vdot_planes;
  bool kernels_ready = false;

  const char* PlaneName(int plane) const { return ColorNames[Index(PrinterColors)][plane]; }
};

// The colour-mode decision for the page's header: PrinterPlanes and
// PrinterColors.
void DecidePageMode(Page& page);

// Allocates the page's two zero-filled blocks and carves them into planes;
// false when either cannot be had.
bool AllocatePageBuffers(Allocator allocate, Page& page);

// The value of a header field as the raster holds it.  Several fields are
// declared as enumerations, but a raster may carry any 32-bit value in them.
template <typename Field>
std::uint32_t Raw(const Field& field) {
  static_assert(sizeof(Field) == sizeof(std::uint32_t));
  std::uint32_t value;
  __builtin_memcpy(&value, &field, sizeof value);
  return value;
}
