#include "page/page.h"

void DecidePageMode(Page& page) {
  const ModeDecision m =
      DecideColorMode(Raw(page.header.cupsColorSpace), page.header.cupsCompression);
  page.PrinterPlanes = m.planes;
  page.PrinterColors = m.mode;
}

bool AllocatePageBuffers(Allocator allocate, Page& page) {
  const std::uint64_t width = page.header.cupsWidth;
  const std::uint64_t dot_length = DotRowBytes(width, page.PrinterColors);
  page.DotLength = static_cast<int>(dot_length);

  page.input_block.reset(static_cast<std::uint8_t*>(allocate(page.PrinterPlanes * width)));
  page.dot_block.reset(static_cast<std::uint8_t*>(allocate(page.PrinterPlanes * dot_length)));
  if (!page.input_block || !page.dot_block) return false;
  for (int p = 0; p < page.PrinterPlanes; ++p) {
    page.InputBuffers[p] = page.input_block.get() + p * width;
    page.DotBuffers[p] = page.dot_block.get() + p * dot_length;
  }
  return true;
}
