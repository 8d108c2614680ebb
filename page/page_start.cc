#include "page/page_start.h"

#include <cstdio>

#include "output/commands.h"
#include "output/plane_commands.h"
#include "output/sink.h"
#include "output/spool_files.h"
#include "page/dither_binding.h"
#include "page/page.h"

namespace {

// The page header as "DEBUG: " lines, one field per line, for the job log.
// Every number is the field's raw 32-bit value, printed signed; the string
// fields are bounded, so an unterminated one cannot be overread.
void DumpHeader(StatusLog& log, const cups_page_header2_t& h) {
  auto text = [&log](const char* name, const char* value) {
    Report(log, "DEBUG: %s = \"%.64s\"\n", name, value);
  };
  auto number = [&log](const char* name, std::uint32_t value) {
    Report(log, "DEBUG: %s = %d\n", name, static_cast<int>(value));
  };
  auto pair = [&log](const char* name, const unsigned(&v)[2]) {
    Report(log, "DEBUG: %s = [ %d %d ]\n", name, static_cast<int>(v[0]), static_cast<int>(v[1]));
  };

  Report(log, "DEBUG: StartPage...\n");
  text("MediaClass", h.MediaClass);
  text("MediaColor", h.MediaColor);
  text("MediaType", h.MediaType);
  text("OutputType", h.OutputType);
  number("AdvanceDistance", h.AdvanceDistance);
  number("AdvanceMedia", Raw(h.AdvanceMedia));
  number("Collate", Raw(h.Collate));
  number("CutMedia", Raw(h.CutMedia));
  number("Duplex", Raw(h.Duplex));
  pair("HWResolution", h.HWResolution);
  Report(log, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n",
         static_cast<int>(h.ImagingBoundingBox[0]), static_cast<int>(h.ImagingBoundingBox[1]),
         static_cast<int>(h.ImagingBoundingBox[2]), static_cast<int>(h.ImagingBoundingBox[3]));
  number("InsertSheet", Raw(h.InsertSheet));
  number("Jog", Raw(h.Jog));
  number("LeadingEdge", Raw(h.LeadingEdge));
  pair("Margins", h.Margins);
  number("ManualFeed", Raw(h.ManualFeed));
  number("MediaPosition", h.MediaPosition);
  number("MediaWeight", h.MediaWeight);
  number("MirrorPrint", Raw(h.MirrorPrint));
  number("NegativePrint", Raw(h.NegativePrint));
  number("NumCopies", h.NumCopies);
  number("Orientation", Raw(h.Orientation));
  number("OutputFaceUp", Raw(h.OutputFaceUp));
  pair("PageSize", h.PageSize);
  number("Separations", Raw(h.Separations));
  number("TraySwitch", Raw(h.TraySwitch));
  number("Tumble", Raw(h.Tumble));
  number("cupsWidth", h.cupsWidth);
  number("cupsHeight", h.cupsHeight);
  number("cupsMediaType", h.cupsMediaType);
  number("cupsBitsPerColor", h.cupsBitsPerColor);
  number("cupsBitsPerPixel", h.cupsBitsPerPixel);
  number("cupsBytesPerLine", h.cupsBytesPerLine);
  number("cupsColorOrder", Raw(h.cupsColorOrder));
  number("cupsColorSpace", Raw(h.cupsColorSpace));
  number("cupsCompression", h.cupsCompression);
}

// Resolution codes the printer knows, by horizontal dpi.
int ResolutionCode(unsigned dpi) {
  switch (dpi) {
    case 300:
      return 0x02;
    case 600:
      return 0x03;
    case 1200:
      return 0x04;
    default:
      return -1;
  }
}

// Page-size codes the printer knows, by page length in points.
int PageSizeCode(unsigned length) {
  switch (length) {
    case 792:
      return 0x02;  // Letter
    case 842:
      return 0x04;  // A4
    case 1008:
      return 0x03;  // Legal
    case 257:
      return 0x05;  // card
    case 432:
      return 0x06;  // 4 x 6 in
    default:
      return -1;
  }
}

}  // namespace

Status CheckPageHeader(const cups_page_header2_t& header) {
  const ModeDecision m = DecideColorMode(Raw(header.cupsColorSpace), header.cupsCompression);
  const std::uint64_t block = static_cast<std::uint64_t>(m.planes) * header.cupsWidth;
  char why[160];
  if (header.cupsBitsPerColor != 8)
    std::snprintf(why, sizeof why,
                  "Unsupported raster data: %u bits per colour, the printer needs 8",
                  header.cupsBitsPerColor);
  else if (header.cupsBytesPerLine > block)
    std::snprintf(why, sizeof why,
                  "Unsupported raster data: lines of %u bytes do not fit %d planes of %u pixels",
                  header.cupsBytesPerLine, m.planes, header.cupsWidth);
  else if (DotRowBytes(header.cupsWidth, m.mode) > kMaxCount)
    std::snprintf(why, sizeof why, "Page too wide for the printer: %u pixels", header.cupsWidth);
  else
    return {};
  return {Fault::kPageRefused, "", 0, why};
}

Status StartPage(Job& job, const cups_page_header2_t& header, Page& page) {
  Sink& sink = job.sink;
  page.header = header;
  DumpHeader(job.log, header);

  // Resolution, page size and media position, each only when the printer has
  // a code for the header's value.
  if (const int r = ResolutionCode(header.HWResolution[0]); r >= 0)
    sink.Send(ResolutionCommand(static_cast<std::uint8_t>(r)));
  if (const int c = PageSizeCode(header.PageSize[1]); c >= 0)
    sink.Send(AmpLCommand(static_cast<std::uint32_t>(c), 'A'));
  if (header.MediaPosition != 0) sink.Send(AmpLCommand(header.MediaPosition & 0xFF, 'H'));

  DecidePageMode(page);
  Report(job.log, "DEBUG: PrinterPlanes = %d, PrinterColors = %d\n", page.PrinterPlanes,
         Index(page.PrinterColors));

  sink.Send(AmpLCommand(header.cupsMediaType, 'M'));
  if (page.PrinterColors != ColorMode::kVariableDot && job.model_number > 1)
    sink.Send(kUCommandPageStart);
  BindDitherTables(job.log, page);
  sink.Send(AmpLCommand(header.cupsHeight + 1, 'P'));

  if (!AllocatePageBuffers(job.allocate, page)) return {.fault = Fault::kNoMemory};
  if (Status s = CreateSpoolFiles(job, page); !s.ok()) return s;
  page.OutputFeed.fill(0);

  StartPlane(sink, page, 0, page.PrinterPlanes - 1);
  return {};
}
