#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "output/commands.h"
#include "output/spool_files.h"
#include "page/page_state.h"

namespace {

// The page header on standard error, one field per line, for the job log.
// The string fields are bounded, so an unterminated one cannot be overread.
void DumpHeader(const cups_page_header_t& h) {
  auto text = [](const char* name, const char* value) {
    std::fprintf(stderr, "DEBUG: %s = \"%.64s\"\n", name, value);
  };
  auto number = [](const char* name, unsigned value) {
    std::fprintf(stderr, "DEBUG: %s = %d\n", name, static_cast<int>(value));
  };
  auto pair = [](const char* name, const unsigned(&v)[2]) {
    std::fprintf(stderr, "DEBUG: %s = [ %d %d ]\n", name, static_cast<int>(v[0]),
                 static_cast<int>(v[1]));
  };

  std::fputs("DEBUG: StartPage...\n", stderr);
  text("MediaClass", h.MediaClass);
  text("MediaColor", h.MediaColor);
  text("MediaType", h.MediaType);
  text("OutputType", h.OutputType);
  number("AdvanceDistance", h.AdvanceDistance);
  number("AdvanceMedia", h.AdvanceMedia);
  number("Collate", h.Collate);
  number("CutMedia", h.CutMedia);
  number("Duplex", h.Duplex);
  pair("HWResolution", h.HWResolution);
  std::fprintf(stderr, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n",
               static_cast<int>(h.ImagingBoundingBox[0]), static_cast<int>(h.ImagingBoundingBox[1]),
               static_cast<int>(h.ImagingBoundingBox[2]),
               static_cast<int>(h.ImagingBoundingBox[3]));
  number("InsertSheet", h.InsertSheet);
  number("Jog", h.Jog);
  number("LeadingEdge", h.LeadingEdge);
  pair("Margins", h.Margins);
  number("ManualFeed", h.ManualFeed);
  number("MediaPosition", h.MediaPosition);
  number("MediaWeight", h.MediaWeight);
  number("MirrorPrint", h.MirrorPrint);
  number("NegativePrint", h.NegativePrint);
  number("NumCopies", h.NumCopies);
  number("Orientation", h.Orientation);
  number("OutputFaceUp", h.OutputFaceUp);
  pair("PageSize", h.PageSize);
  number("Separations", h.Separations);
  number("TraySwitch", h.TraySwitch);
  number("Tumble", h.Tumble);
  number("cupsWidth", h.cupsWidth);
  number("cupsHeight", h.cupsHeight);
  number("cupsMediaType", h.cupsMediaType);
  number("cupsBitsPerColor", h.cupsBitsPerColor);
  number("cupsBitsPerPixel", h.cupsBitsPerPixel);
  number("cupsBytesPerLine", h.cupsBytesPerLine);
  number("cupsColorOrder", h.cupsColorOrder);
  number("cupsColorSpace", h.cupsColorSpace);
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

void StartPage(ppd_file_t* ppd, cups_page_header_t* header) {
  DumpHeader(*header);

  // Resolution, page size and media position, each only when the printer has
  // a code for the header's value.
  if (const int r = ResolutionCode(header->HWResolution[0]); r >= 0)
    WriteCommand(ResolutionCommand(static_cast<std::uint8_t>(r)));
  if (const int c = PageSizeCode(header->PageSize[1]); c >= 0)
    WriteCommand(AmpLCommand(static_cast<std::uint32_t>(c), 'A'));
  if (header->MediaPosition != 0) WriteCommand(AmpLCommand(header->MediaPosition & 0xFF, 'H'));

  DecideColorMode(*header, PrinterPlanes, PrinterColors);
  std::fprintf(stderr, "DEBUG: PrinterPlanes = %d, PrinterColors = %d\n", PrinterPlanes,
               PrinterColors);

  WriteCommand(AmpLCommand(header->cupsMediaType, 'M'));
  if (PrinterColors != kModeVariableDot && ppd && ppd->model_number > 1)
    WriteCommand(kUCommandPageStart);
  BindDitherTables(*header);
  WriteCommand(AmpLCommand(header->cupsHeight + 1, 'P'));

  if (!AllocatePageBuffers(*header)) {
    std::fputs("ERROR: Unable to allocate memory for the page buffers\n", stderr);
    std::exit(1);
  }
  if (!CreateSpoolFiles(*header)) {
    ReleasePageBuffers();
    std::exit(1);
  }
  for (int p = 0; p < PrinterPlanes; ++p) OutputFeed[p] = 0;

  StartPlane(ppd, header, 0, PrinterPlanes - 1);
}
