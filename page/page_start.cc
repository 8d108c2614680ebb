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
  std::fputs("DEBUG: StartPage...\n", stderr);
  std::fprintf(stderr, "DEBUG: MediaClass = \"%.64s\"\n", h.MediaClass);
  std::fprintf(stderr, "DEBUG: MediaColor = \"%.64s\"\n", h.MediaColor);
  std::fprintf(stderr, "DEBUG: MediaType = \"%.64s\"\n", h.MediaType);
  std::fprintf(stderr, "DEBUG: OutputType = \"%.64s\"\n", h.OutputType);
  std::fprintf(stderr, "DEBUG: AdvanceDistance = %d\n", static_cast<int>(h.AdvanceDistance));
  std::fprintf(stderr, "DEBUG: AdvanceMedia = %d\n", static_cast<int>(h.AdvanceMedia));
  std::fprintf(stderr, "DEBUG: Collate = %d\n", static_cast<int>(h.Collate));
  std::fprintf(stderr, "DEBUG: CutMedia = %d\n", static_cast<int>(h.CutMedia));
  std::fprintf(stderr, "DEBUG: Duplex = %d\n", static_cast<int>(h.Duplex));
  std::fprintf(stderr, "DEBUG: HWResolution = [ %d %d ]\n",
               static_cast<int>(h.HWResolution[0]), static_cast<int>(h.HWResolution[1]));
  std::fprintf(stderr, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n",
               static_cast<int>(h.ImagingBoundingBox[0]), static_cast<int>(h.ImagingBoundingBox[1]),
               static_cast<int>(h.ImagingBoundingBox[2]), static_cast<int>(h.ImagingBoundingBox[3]));
  std::fprintf(stderr, "DEBUG: InsertSheet = %d\n", static_cast<int>(h.InsertSheet));
  std::fprintf(stderr, "DEBUG: Jog = %d\n", static_cast<int>(h.Jog));
  std::fprintf(stderr, "DEBUG: LeadingEdge = %d\n", static_cast<int>(h.LeadingEdge));
  std::fprintf(stderr, "DEBUG: Margins = [ %d %d ]\n",
               static_cast<int>(h.Margins[0]), static_cast<int>(h.Margins[1]));
  std::fprintf(stderr, "DEBUG: ManualFeed = %d\n", static_cast<int>(h.ManualFeed));
  std::fprintf(stderr, "DEBUG: MediaPosition = %d\n", static_cast<int>(h.MediaPosition));
  std::fprintf(stderr, "DEBUG: MediaWeight = %d\n", static_cast<int>(h.MediaWeight));
  std::fprintf(stderr, "DEBUG: MirrorPrint = %d\n", static_cast<int>(h.MirrorPrint));
  std::fprintf(stderr, "DEBUG: NegativePrint = %d\n", static_cast<int>(h.NegativePrint));
  std::fprintf(stderr, "DEBUG: NumCopies = %d\n", static_cast<int>(h.NumCopies));
  std::fprintf(stderr, "DEBUG: Orientation = %d\n", static_cast<int>(h.Orientation));
  std::fprintf(stderr, "DEBUG: OutputFaceUp = %d\n", static_cast<int>(h.OutputFaceUp));
  std::fprintf(stderr, "DEBUG: PageSize = [ %d %d ]\n",
               static_cast<int>(h.PageSize[0]), static_cast<int>(h.PageSize[1]));
  std::fprintf(stderr, "DEBUG: Separations = %d\n", static_cast<int>(h.Separations));
  std::fprintf(stderr, "DEBUG: TraySwitch = %d\n", static_cast<int>(h.TraySwitch));
  std::fprintf(stderr, "DEBUG: Tumble = %d\n", static_cast<int>(h.Tumble));
  std::fprintf(stderr, "DEBUG: cupsWidth = %d\n", static_cast<int>(h.cupsWidth));
  std::fprintf(stderr, "DEBUG: cupsHeight = %d\n", static_cast<int>(h.cupsHeight));
  std::fprintf(stderr, "DEBUG: cupsMediaType = %d\n", static_cast<int>(h.cupsMediaType));
  std::fprintf(stderr, "DEBUG: cupsBitsPerColor = %d\n", static_cast<int>(h.cupsBitsPerColor));
  std::fprintf(stderr, "DEBUG: cupsBitsPerPixel = %d\n", static_cast<int>(h.cupsBitsPerPixel));
  std::fprintf(stderr, "DEBUG: cupsBytesPerLine = %d\n", static_cast<int>(h.cupsBytesPerLine));
  std::fprintf(stderr, "DEBUG: cupsColorOrder = %d\n", static_cast<int>(h.cupsColorOrder));
  std::fprintf(stderr, "DEBUG: cupsColorSpace = %d\n", static_cast<int>(h.cupsColorSpace));
  std::fprintf(stderr, "DEBUG: cupsCompression = %d\n", static_cast<int>(h.cupsCompression));
}

// Resolution codes the printer knows, by horizontal dpi.
int ResolutionCode(unsigned dpi) {
  switch (dpi) {
    case 300: return 0x02;
    case 600: return 0x03;
    case 1200: return 0x04;
    default: return -1;
  }
}

// Page-size codes the printer knows, by page length in points.
int PageSizeCode(unsigned length) {
  switch (length) {
    case 792: return 0x02;   // Letter
    case 842: return 0x04;   // A4
    case 1008: return 0x03;  // Legal
    case 257: return 0x05;   // card
    case 432: return 0x06;   // 4 x 6 in
    default: return -1;
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
  if (header->MediaPosition != 0)
    WriteCommand(AmpLCommand(header->MediaPosition & 0xFF, 'H'));

  DecideColorMode(*header, PrinterPlanes, PrinterColors);
  std::fprintf(stderr, "DEBUG: PrinterPlanes = %d, PrinterColors = %d\n",
               PrinterPlanes, PrinterColors);

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
