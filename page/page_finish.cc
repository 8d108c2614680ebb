#include "page/page_finish.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cinttypes>

#include "output/commands.h"
#include "output/plane_commands.h"
#include "output/sink.h"
#include "page/page.h"

namespace {

// The gloss pass prints box 1, defined with plane 0, over the finished copy.
void WriteGlossPass(Sink& sink) {
  sink.Send(kPassEnd);
  sink.Send(kRCCommand);
  sink.Send(UCommand(0x01));
  sink.Send(RACommand(0x02));
  sink.Send(ColorSelectCommand(0x0E, 0x80));
  sink.Send(BoxPrintCommand(1));
}

// "page 3, Cyan" or "page 3 (2/4), Cyan": how the status lines name a plane
// of a page and copy, followed by a percentage when there is one.
struct CopyLabel {
  int page;
  unsigned copy;
  unsigned copies;
};

void PrintStatus(StatusLog& log, const CopyLabel& l, const char* name, const char* percent) {
  if (l.copies > 1)
    Report(log, "INFO: Printing page %d (%u/%u), %s%s...\n", l.page, l.copy, l.copies, name,
           percent);
  else
    Report(log, "INFO: Printing page %d, %s%s...\n", l.page, name, percent);
}

// Copies one plane's spool file to the printer through one buffer, with a
// progress line every 256 KiB.  False (with errno, or 0 for a file that ends
// early) when the file cannot be read back whole.
bool ReplayPlane(Job& job, const SpoolFile& file, std::int64_t size, const CopyLabel& label,
                 const char* name) {
  PrintStatus(job.log, label, name, "");
  if (lseek(file.fd(), 0, SEEK_SET) != 0) return false;

  std::array<std::uint8_t, 8192> buffer;
  std::int64_t copied = 0;
  while (copied < size) {
    const ssize_t n = read(file.fd(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = 0;
      return false;
    }
    if ((copied & 0x3FFFF) == 0) {
      char percent[32];
      std::snprintf(percent, sizeof percent, ", %d%%", static_cast<int>(copied * 100 / size));
      PrintStatus(job.log, label, name, percent);
    }
    job.sink.Write(Bytes(buffer.data(), static_cast<std::size_t>(n)));
    copied += n;
  }
  PrintStatus(job.log, label, name, ", 100%");
  return true;
}

Status ReplayCopies(Job& job, Page& page, int page_number) {
  // Measure the spool files; the last plane with data closes each copy.
  std::array<std::int64_t, kMaxPlanes> size{};
  int last = -1;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    const SpoolFile& file = page.PrinterFiles[p];
    if (file.is_open() && (size[p] = lseek(file.fd(), 0, SEEK_END)) < 0)
      return {Fault::kSpoolRead, page.PlaneName(p), errno, file.name()};
    if (size[p] > 0) last = p;
  }

  // Plane 0 of the first copy went to the printer while the page was read;
  // every further copy sends all planes from the spool files.
  const unsigned copies = page.header.NumCopies;
  for (unsigned copy = 0; copy < copies; ++copy) {
    const CopyLabel label{page_number, copy + 1, copies};
    for (int plane = copy == 0 ? 1 : 0; plane <= last; ++plane) {
      StartPlane(job.sink, page, plane, last);
      const SpoolFile& file = page.PrinterFiles[plane];
      if (size[plane] != 0 && !ReplayPlane(job, file, size[plane], label, page.PlaneName(plane)))
        return {Fault::kSpoolRead, page.PlaneName(plane), errno, file.name()};
    }
    CloseCopy(job.sink, page);
  }
  return {};
}

}  // namespace

void CloseCopy(Sink& sink, const Page& page) {
  if (page.PrinterColors == ColorMode::kVariableDot && IsGlossy(page.header)) WriteGlossPass(sink);
  sink.Send(kPageEnd);
}

Status EndPage(Job& job, Page& page, int page_number) {
  Status status = ReplayCopies(job, page, page_number);
  for (SpoolFile& file : page.PrinterFiles) file.Remove();
  page.input_block.reset();
  page.dot_block.reset();
  return status;
}
