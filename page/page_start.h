// Page start: the header dump, the page-start commands, the colour mode, the
// dither binding, the buffers, the spool files and plane 0's pass.
#pragma once

#include <cups/raster.h>

#include "page/job.h"

struct Page;

// Refuses a page the printer cannot print: raster data other than 8 bits per
// colour, lines longer than the page's input block, dot rows longer than a
// row command can carry.  Nothing is ever read past the input block.
Status CheckPageHeader(const cups_page_header2_t& header);

// Sets `page` up from its header and sends the page-start commands and plane
// 0's command sequence, so that the page's first row can follow.  Fails when
// the buffers or a spool file cannot be had; the page then holds what was
// made and releases it.
Status StartPage(Job& job, const cups_page_header2_t& header, Page& page);
