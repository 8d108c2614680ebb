#include "filter/page_loop.h"

#include <cerrno>
#include <cstring>

#include "dither/photo.h"
#include "dither/standard.h"
#include "dither/vphoto.h"
#include "filter/job_sequences.h"
#include "output/row_commands.h"
#include "output/sink.h"
#include "page/page.h"
#include "page/page_finish.h"
#include "page/page_start.h"

namespace {

bool Canceled(const Job& job) { return job.canceled && job.canceled(); }

// One progress line before line y of the page is read, naming plane 0, the
// plane that prints while the page is read.
void ReportLineProgress(Job& job, const Page& page, int page_number, unsigned percent) {
  const char* name = page.PlaneName(0);
  if (page.header.NumCopies <= 1)
    Report(job.log, "INFO: Printing page %d, %s, %d%%...\n", page_number, name,
           static_cast<int>(percent));
  else
    Report(job.log, "INFO: Printing page %d (1/%d), %s, %d%%...\n", page_number,
           static_cast<int>(page.header.NumCopies), name, static_cast<int>(percent));
}

// Reads, halftones and sends the lines of one page.  A read error ends the
// page early; the page is still finished with what was read.
Status PrintLines(Job& job, Page& page, cups_raster_t* raster, int page_number) {
  std::uint32_t progress = 0;  // 100 x the line index
  for (std::uint32_t y = 0; y < page.header.cupsHeight; ++y, progress += 100) {
    if ((y & 127) == 0)
      ReportLineProgress(job, page, page_number, progress / page.header.cupsHeight);
    if (Canceled(job)) return {.fault = Fault::kCanceled};

    const int r = ReadLine(page, raster);
    if (r < 0) {
      Report(job.log, "ERROR: Error reading image data: %s\n", std::strerror(errno));
      return {};
    }
    if (Status s = SendLine(page, job.sink, y, r == 0); !s.ok()) return s;
  }
  return {};
}

JobResult PrintPages(Job& job, cups_raster_t* raster) {
  JobResult result;
  cups_page_header2_t header;
  while (cupsRasterReadHeader2(raster, &header)) {
    // A header the printer cannot print ends the job: every later page would
    // be just as wrong, and a failed job says so to the user.
    if (result.status = CheckPageHeader(header); !result.status.ok()) break;

    const int number = ++result.pages;
    if (header.NumCopies > job.max_copies) {
      Report(job.log, "WARNING: Page %d asks for %u copies; printing %u, the most this driver prints\n",
             number, header.NumCopies, job.max_copies);
      header.NumCopies = job.max_copies;
    }
    Report(job.log, "PAGE: %d %d\n", number, static_cast<int>(header.NumCopies));
    Report(job.log, "INFO: Starting page %d...\n", number);
    Page page;
    result.status = StartPage(job, header, page);
    if (result.status.ok()) result.status = PrintLines(job, page, raster, number);
    if (result.status.fault == Fault::kCanceled) {
      CloseCopy(job.sink, page);  // the pass in progress ends; nothing is replayed
      break;
    }
    if (result.status.ok()) result.status = EndPage(job, page, number);
    if (!result.status.ok()) break;
    Report(job.log, "INFO: Finished page %d...\n", number);
    if (Canceled(job)) {
      result.status = {.fault = Fault::kCanceled};
      break;
    }
  }
  return result;
}

}  // namespace

int ReadLine(Page& page, cups_raster_t* raster) {
  const unsigned bytes = page.header.cupsBytesPerLine;
  if (cupsRasterReadPixels(raster, page.InputBuffers[0], bytes) == 0) return -1;
  return cupsCheckBytes(page.InputBuffers[0], static_cast<int>(bytes)) ? 0 : 1;
}

Status SendLine(Page& page, Sink& sink, std::uint32_t y, bool blank) {
  if (blank) {
    // A blank line is only counted; every plane skips it.
    for (int p = 0; p < page.PrinterPlanes; ++p) ++page.OutputFeed[p];
    return {};
  }
  switch (Facts(page.PrinterColors).routine) {
    case Routine::kPhoto:
      DitherPhoto(page, y);
      break;
    case Routine::kVariableDot:
      DitherVPhoto(page, y);
      break;
    case Routine::kStandard:
      DitherStandard(page, y);
      break;
  }
  return OutputLine(page, sink);
}

JobResult PrintJob(Job& job, cups_raster_t* raster) {
  Setup(job.sink);
  JobResult result = PrintPages(job, raster);
  const Fault f = result.status.fault;
  if (f == Fault::kNone || f == Fault::kPageRefused || f == Fault::kCanceled) WriteJobEnd(job.sink);
  job.sink.Flush();
  return result;
}

int EndJob(StatusLog& log, const JobResult& result) {
  if (!result.status.ok()) {
    log.Line(DescribeFault(result.status));
    return 1;
  }
  if (result.pages == 0) {
    log.Line("ERROR: No pages found!\n");
    return 1;
  }
  return 0;
}
