#include "filter/read_line.h"

#include "filter/check.h"
#include "page/page_state.h"

int ReadLine(const cups_page_header_t* header, cups_raster_t* ras) {
  if (cupsRasterReadPixels(ras, InputBuffers[0], header->cupsBytesPerLine) == 0) return -1;
  return cupsCheckBytes(InputBuffers[0], static_cast<int>(header->cupsBytesPerLine)) ? 0 : 1;
}
