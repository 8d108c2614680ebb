// rastertozelt: the CUPS filter that turns a CUPS raster stream into the
// printer's command stream.
//
//   rastertozelt job-id user title copies options [file]
//
// Reads the raster from the file or standard input, writes printer data to
// standard output and status lines to standard error.  Exit status 0 when at
// least one page was printed, 1 when the job failed.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "dither/dither.h"
#include "filter/job_sequences.h"
#include "filter/read_line.h"
#include "output/commands.h"
#include "output/spool_files.h"
#include "page/page_state.h"

namespace {

// The header reader keeps its library name; it fills the page header the
// whole filter is written against.
unsigned ReadHeader(cups_raster_t* ras, cups_page_header_t* header) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return cupsRasterReadHeader(ras, header);
#pragma GCC diagnostic pop
}

ppd_file_t* OpenPpd(const char* path) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return path ? ppdOpenFile(path) : nullptr;
#pragma GCC diagnostic pop
}

void ClosePpd(ppd_file_t* ppd) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ppdClose(ppd);
#pragma GCC diagnostic pop
}

// Explains a PPD that could not be opened: one "ERROR: " line with the cause,
// and the reader's own diagnosis as a "DEBUG: " line.
void ReportPpdFailure(const char* path) {
  if (!path) {
    std::fputs("ERROR: No PPD file: the PPD environment variable is not set\n",
               stderr);
    return;
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  int line = 0;
  const ppd_status_t status = ppdLastError(&line);
  std::fprintf(stderr, "ERROR: Unable to open PPD file %s: %s\n", path,
               ppdErrorString(status));
  std::fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
#pragma GCC diagnostic pop
}

// One progress line before line y of the page is read.
void ReportLineProgress(int page, const cups_page_header_t& header,
                        unsigned percent) {
  const char* name = ColorNames[PrinterColors][0];
  if (header.NumCopies <= 1)
    std::fprintf(stderr, "INFO: Printing page %d, %s, %d%%...\n", page, name,
                 static_cast<int>(percent));
  else
    std::fprintf(stderr, "INFO: Printing page %d (1/%d), %s, %d%%...\n", page,
                 static_cast<int>(header.NumCopies), name,
                 static_cast<int>(percent));
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

int main(int argc, char* argv[]) {
  // Status lines are passed on at once.
  setbuf(stderr, nullptr);

  if (static_cast<unsigned>(argc - 6) >= 2) {
    std::fputs("ERROR: rastertozelt job-id user title copies options [file]\n",
               stderr);
    return 1;
  }

  const char* ppd_path = std::getenv("PPD");
  ppd_file_t* ppd = OpenPpd(ppd_path);

  int fd = 0;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY)) == -1) {
    std::perror("ERROR: Unable to open raster file - ");
    if (ppd) ClosePpd(ppd);
    return 1;
  }
  if (!ppd) {
    ReportPpdFailure(ppd_path);
    if (fd != 0) close(fd);
    return 1;
  }

  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  InstallCancelHandler();
  Setup(ppd);

  // Page loop.  A header the filter cannot print ends the job: every later
  // page would be just as wrong, and a failed job says so to the user.
  int page = 0;
  bool refused = false;
  cups_page_header_t header;
  while (ReadHeader(ras, &header)) {
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

  cupsRasterClose(ras);
  if (fd != 0) close(fd);
  WriteJobEnd();
  std::fflush(stdout);
  ClosePpd(ppd);

  if (refused) return 1;
  if (page == 0) {
    std::fputs("ERROR: No pages found!\n", stderr);
    return 1;
  }
  return 0;
}
