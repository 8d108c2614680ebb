#include "filter/page_loop.h"

#include <cstdio>

#include "dither/dither.h"
#include "filter/read_line.h"
#include "output/commands.h"
#include "page/page_state.h"

namespace {

// One progress line before line y of the page is read.
void ReportLineProgress(int page, const cups_page_header_t& header, unsigned percent) {
  const char* name = ColorNames[PrinterColors][0];
  if (header.NumCopies <= 1)
    std::fprintf(stderr, "INFO: Printing page %d, %s, %d%%...\n", page, name,
                 static_cast<int>(percent));
  else
    std::fprintf(stderr, "INFO: Printing page %d (1/%d), %s, %d%%...\n", page,
                 static_cast<int>(header.NumCopies), name, static_cast<int>(percent));
}

// Reads, halftones and sends the lines of one page.  A read error ends the
// page early; the page is still finished with what was read.
void PrintLines(int page, cups_page_header_t& header, cups_raster_t* ras) {
  std::uint32_t progress = 0;  // 100 x the line index
  for (std::uint32_t y = 0; y < header.cupsHeight; ++y, progress += 100) {
    if ((y & 127) == 0) ReportLineProgress(page, header, progress / header.cupsHeight);

    const int r = ReadLine(&header, ras);
    if (r < 0) {
      std::perror("ERROR: Error reading image data");
      return;
    }
    if (r == 0) {
      // A blank line is only counted; every plane skips it.
      for (int p = 0; p < PrinterPlanes; ++p) ++OutputFeed[p];
      continue;
    }
    if (PrinterColors == kModePhoto)
      DitherPhoto(&header, y);
    else if (PrinterColors == kModeVariableDot)
      DitherVPhoto(&header, y);
    else
      DitherStandard(&header, y);
    OutputLine(&header);
  }
}

}  // namespace

int PrintPages(ppd_file_t* ppd, cups_raster_t* ras, bool& refused) {
  // A header the filter cannot print ends the job: every later page would be
  // just as wrong, and a failed job says so to the user.
  int page = 0;
  refused = false;
  cups_page_header_t header;
  while (cupsRasterReadHeader(ras, &header)) {
    char problem[256];
    if (PageHeaderProblem(header, problem, sizeof problem)) {
      std::fputs(problem, stderr);
      refused = true;
      break;
    }

    ++page;
    std::fprintf(stderr, "PAGE: %d %d\n", page, static_cast<int>(header.NumCopies));
    std::fprintf(stderr, "INFO: Starting page %d...\n", page);

    StartPage(ppd, &header);
    PrintLines(page, header, ras);
    EndPage(ppd, &header, page);

    std::fprintf(stderr, "INFO: Finished page %d...\n", page);
  }
  return page;
}
