// Standard ordered dither: the vectorised kernel, plane by plane, on the
// threshold rows BindDitherTables laid out.
#include "dither/standard.h"

#include "dither/kernels.h"
#include "dither/reference.h"
#include "page/page.h"

void DitherStandard(Page& page, std::uint32_t y) {
  if (!page.kernels_ready) return DitherStandardReference(page, y);
  for (int p = 0; p < page.PrinterPlanes; ++p)
    ScreenLine(page.InputBuffers[p], page.header.cupsWidth, page.screen_planes[p].Row(y),
               page.DotBuffers[p]);
}
