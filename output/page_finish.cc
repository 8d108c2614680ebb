#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "output/commands.h"
#include "output/spool_files.h"
#include "page/page_state.h"

namespace {

// The gloss pass prints box 1, defined with plane 0, over the finished copy.
void WriteGlossPass() {
  WriteCommand(kPassEnd);
  WriteCommand(kRCCommand);
  WriteCommand(UCommand(0x01));
  WriteCommand(RACommand(0x02));
  WriteCommand(ColorSelectCommand(0x0E, 0x80));
  WriteCommand(BoxPrintCommand(1));
}

// "page 3" or "page 3 (2/4)": how the status lines name a page and copy.
struct CopyLabel {
  int page;
  unsigned copy;
  unsigned copies;
};

void PrintStatus(const CopyLabel& l, const char* name, const char* percent) {
  if (l.copies > 1)
    std::fprintf(stderr, "INFO: Printing page %d (%u/%u), %s%s...\n", l.page, l.copy, l.copies,
                 name, percent);
  else
    std::fprintf(stderr, "INFO: Printing page %d, %s%s...\n", l.page, name, percent);
}

// Copies one plane's spool file to the printer through one buffer, with a
// progress line every 256 KiB.  A failing read ends the plane's copy early.
void ReplayPlane(int fd, std::int64_t size, const CopyLabel& label, const char* name) {
  PrintStatus(label, name, "");
  lseek(fd, 0, SEEK_SET);

  std::array<std::uint8_t, 8192> buffer;
  std::int64_t copied = 0;
  for (;;) {
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if ((copied & 0x3FFFF) == 0) {
      char percent[32];
      std::snprintf(percent, sizeof percent, ", %d%%", static_cast<int>(copied * 100 / size));
      PrintStatus(label, name, percent);
    }
    WriteBytes(Bytes(buffer.data(), static_cast<std::size_t>(n)));
    copied += n;
  }
  PrintStatus(label, name, ", 100%");
}

}  // namespace

void EndPage(ppd_file_t* ppd, const cups_page_header_t* header, int page) {
  // Measure the spool files; the last plane with data closes each copy.
  std::array<std::int64_t, kMaxPlanes> size{};
  int last = -1;
  for (int p = 0; p < PrinterPlanes; ++p) {
    if (PrinterFiles[p] != 1) size[p] = lseek(PrinterFiles[p], 0, SEEK_END);
    if (size[p] > 0) last = p;
  }

  // Plane 0 of the first copy went to the printer while the page was read;
  // every further copy sends all planes from the spool files.
  const unsigned copies = header->NumCopies;
  const bool gloss_pass = PrinterColors == kModeVariableDot && IsGlossy(*header);
  for (unsigned copy = 0; copy < copies; ++copy) {
    const CopyLabel label{page, copy + 1, copies};
    for (int plane = copy == 0 ? 1 : 0; plane <= last; ++plane) {
      StartPlane(ppd, header, plane, last);
      if (size[plane] != 0)
        ReplayPlane(PrinterFiles[plane], size[plane], label, ColorNames[PrinterColors][plane]);
    }
    if (gloss_pass) WriteGlossPass();
    WriteCommand(kPageEnd);
  }

  CloseSpoolFiles();
  ReleasePageBuffers();
}
