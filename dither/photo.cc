// Photo dither: the vectorised kernel, plane by plane, on the curves and rows
// BindDitherTables laid out.
#include "dither/photo.h"

#include "dither/kernels.h"
#include "dither/reference.h"
#include "page/page.h"

void DitherPhoto(Page& page, std::uint32_t y) {
  if (!page.kernels_ready) return DitherPhotoReference(page, y);
  for (int p = 0; p < page.PrinterPlanes; ++p)
    PhotoLine(page.InputBuffers[p], page.header.cupsWidth, page.photo_planes[p], y,
              page.DotBuffers[p]);
}
