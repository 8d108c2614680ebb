// Variable-dot dither: black generation on four-plane pages, then the
// vectorised kernel, plane by plane, on the tables BindDitherTables laid out.
#include "dither/vphoto.h"

#include "dither/kernels.h"
#include "dither/reference.h"
#include "page/page.h"

void DitherVPhoto(Page& page, std::uint32_t y) {
  if (!page.kernels_ready) return DitherVPhotoReference(page, y);
  const std::uint32_t pixels = page.header.cupsWidth;
  if (page.PrinterPlanes > 1)
    GenerateBlack(page.InputBuffers[0], page.InputBuffers[1], page.InputBuffers[2],
                  page.InputBuffers[3], pixels);
  for (int p = 0; p < page.PrinterPlanes; ++p)
    VDotLine(page.InputBuffers[p], pixels, page.vdot_planes[p], y, page.DotBuffers[p]);
}
