#include "output/row_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dither/kernels.h"
#include "output/commands.h"
#include "output/sink.h"
#include "page/page.h"

int cupsCheckBytes(const std::uint8_t* bytes, int length) { return AllBytesZero(bytes, length); }

namespace {

// Sends one command (and the row it carries, if any) to the plane's
// destinations: its spool file first when it has one, in one write, then the
// printer for plane 0.
bool SendToPlane(Page& page, Sink& sink, int plane, Bytes bytes, Bytes row = {}) {
  const SpoolFile& file = page.PrinterFiles[plane];
  if (file.is_open() && !file.Append(bytes, row)) return false;
  if (plane == 0) sink.Write(bytes);
  if (plane == 0) sink.Write(row);
  return true;
}

}  // namespace

Status OutputLine(Page& page, Sink& sink) {
  for (int plane = 0; plane < page.PrinterPlanes; ++plane)
    if (Status s = compress_line(page, sink, page.DotBuffers[plane], page.DotLength, plane);
        !s.ok())
      return s;
  return {};
}

Status compress_line(Page& page, Sink& sink, const std::uint8_t* row, int length, int plane) {
  if (cupsCheckBytes(row, length)) {
    ++page.OutputFeed[plane];
    return {};
  }

  // The blank rows before this one, as skip commands; a count field holds at
  // most 65535 rows, so a longer run takes several.
  bool sent = true;
  while (sent && page.OutputFeed[plane] > 0) {
    const auto rows =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(page.OutputFeed[plane]), kMaxCount);
    const auto skip = SkipCommand(rows);
    sent = SendToPlane(page, sink, plane, skip);
    page.OutputFeed[plane] -= static_cast<int>(rows);
  }

  // The row itself, whole; plane 0's reaches the printer at once.
  const auto header = RowHeader(static_cast<std::uint32_t>(length));
  sent =
      sent && SendToPlane(page, sink, plane, header, Bytes(row, static_cast<std::size_t>(length)));
  if (!sent)
    return {Fault::kSpoolWrite, page.PlaneName(plane), errno, page.PrinterFiles[plane].name()};
  if (plane == 0) sink.Flush();
  return {};
}
