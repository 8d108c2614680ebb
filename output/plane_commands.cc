#include "output/plane_commands.h"

#include <cstring>

#include "output/sink.h"
#include "page/page.h"

bool IsGlossy(const cups_page_header2_t& header) {
  // Six letters and the terminating NUL: "Glossy2" or "glossy" do not match.
  return std::memcmp(header.OutputType, "Glossy", sizeof "Glossy") == 0;
}

PrintBox ComputePrintBox(const cups_page_header2_t& h) {
  // Imaging box relative to the hardware margins, in points.
  int left = static_cast<int>(h.ImagingBoundingBox[0] - h.Margins[0]);
  const int right0 = static_cast<int>(h.ImagingBoundingBox[2] - h.Margins[0]);
  int bottom = static_cast<int>(h.ImagingBoundingBox[1] - h.Margins[1]);
  const int top0 = static_cast<int>(h.ImagingBoundingBox[3] - h.Margins[1]);
  if (right0 <= left || top0 <= bottom) return {0, 0, h.cupsWidth, h.cupsHeight};

  // Clip to the page; the page-size tests are unsigned, so a negative edge
  // is replaced by the page size.
  if (left < 0) left = 0;
  if (bottom < 0) bottom = 0;
  std::uint32_t right = static_cast<std::uint32_t>(right0);
  std::uint32_t top = static_cast<std::uint32_t>(top0);
  if (right > h.PageSize[0]) right = h.PageSize[0];
  if (top > h.PageSize[1]) top = h.PageSize[1];

  // Points to dots at the vertical resolution, for all four values.
  const std::uint32_t res = h.HWResolution[1];
  const auto l = static_cast<std::uint32_t>(left);
  const auto b = static_cast<std::uint32_t>(bottom);
  PrintBox box;
  box.width = res * (right - l) / 72;
  box.height = res * (top - b) / 72;
  box.x = res * l / 72;
  int y = static_cast<int>(h.cupsHeight - res * top / 72);

  if (box.x + box.width > h.cupsWidth) box.width = h.cupsWidth - box.x;
  if (y < 0) {
    box.height += static_cast<std::uint32_t>(y);
    y = 0;
  }
  box.y = static_cast<std::uint32_t>(y);
  if (box.y + box.height > h.cupsHeight) box.height = h.cupsHeight - box.y;
  return box;
}

namespace {

// Tells the printer which colour the coming pass prints; flag 1 marks the
// last pass of the copy.  One-plane pages have no colour select, except the
// White mode's own.
void ColorStep(Sink& sink, const Page& page, int plane, int last) {
  if (page.PrinterPlanes > 1) {
    const int code = ColorCodes[Index(page.PrinterColors)][plane];
    sink.Send(
        ColorSelectCommand(static_cast<std::uint8_t>(code & 0xFF), plane == last ? 0x01 : 0x00));
  } else if (page.PrinterColors == ColorMode::kWhite) {
    sink.Send(kWhiteSelect);
  }
}

// Plane 0 of a variable-dot page: the raster preamble, the glossy box, and
// the media step, with a pre-pass over the print box on colour pages outside
// media types 16 and 17.
void StartVariableDotPage(Sink& sink, const Page& page) {
  const cups_page_header2_t& header = page.header;
  sink.Send(RUCommand(0x08));
  sink.Send(OCommand(false));
  const PrintBox box = ComputePrintBox(header);
  if (IsGlossy(header)) sink.Send(BoxDefinitionCommand(1, box));

  if (header.cupsMediaType - 16u <= 1u) {
    sink.Send(UCommand(page.PrinterPlanes == 1 ? 0x12 : 0x11));
  } else if (page.PrinterPlanes <= 1) {
    sink.Send(UCommand(0x92));
  } else {
    sink.Send(BoxDefinitionCommand(0, box));
    sink.Send(UCommand(0x01));
    sink.Send(RACommand(0x02));
    sink.Send(ColorSelectCommand(0x10, 0x03));
    sink.Send(BoxPrintCommand(0));
    sink.Send(kPassEnd);
    sink.Send(kRCCommand);
    sink.Send(UCommand(0x91));
  }
}

}  // namespace

void StartPlane(Sink& sink, const Page& page, int plane, int last) {
  if (plane > 0) {
    sink.Send(kPassEnd);
  } else if (page.PrinterColors == ColorMode::kVariableDot) {
    StartVariableDotPage(sink, page);
    sink.Send(RACommand(0x00));
    sink.Send(kBMCommand);
  } else {
    const bool plain_raster = page.PrinterPlanes == 1 && page.PrinterColors != ColorMode::kWhite;
    sink.Send(OCommand(IsGlossy(page.header)));
    sink.Send(RUCommand(plain_raster ? 0x00 : 0x04));
    sink.Send(RACommand(0x00));
    sink.Send(kBMCommand);
  }
  ColorStep(sink, page, plane, last);
}
