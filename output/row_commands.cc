#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "filter/check.h"
#include "output/commands.h"
#include "page/page_state.h"

namespace {

// Appends bytes to a spool file, resuming after short writes and interrupts.
// Other failures are not reported: the page finish replays what the file
// holds.
void SpoolWrite(int fd, Bytes bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
}

// Sends one command to the plane's destinations: its spool file when it has
// one, and the printer for plane 0.
void SendToPlane(int plane, Bytes bytes) {
  if (PrinterFiles[plane] != 1) SpoolWrite(PrinterFiles[plane], bytes);
  if (plane == 0) WriteBytes(bytes);
}

}  // namespace

void OutputLine(const cups_page_header_t* /*header*/) {
  for (int plane = 0; plane < PrinterPlanes; ++plane)
    compress_line(DotBuffers[plane], DotLength, plane);
}

void compress_line(const std::uint8_t* row, int length, int plane) {
  if (cupsCheckBytes(row, length)) {
    ++OutputFeed[plane];
    return;
  }

  // The blank rows before this one, as skip commands; a count field holds at
  // most 65535 rows, so a longer run takes several.
  while (OutputFeed[plane] > 0) {
    const auto rows =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(OutputFeed[plane]), kMaxCount);
    SendToPlane(plane, SkipCommand(rows));
    OutputFeed[plane] -= static_cast<int>(rows);
  }

  // The row itself, whole; plane 0's reaches the printer at once.
  SendToPlane(plane, RowHeader(static_cast<std::uint32_t>(length)));
  SendToPlane(plane, Bytes(row, static_cast<std::size_t>(length)));
  if (plane == 0) std::fflush(stdout);
}
