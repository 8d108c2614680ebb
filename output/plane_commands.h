// The command sequences that open a plane's pass.
#pragma once

#include <cups/raster.h>

#include "output/commands.h"

class Sink;
struct Page;

// True when the page asks for the glossy finish: OutputType is exactly
// "Glossy", case and length included.
bool IsGlossy(const cups_page_header2_t& header);

// The print box of a variable-dot page from its imaging box, margins and page
// size, in dots at the vertical resolution.
PrintBox ComputePrintBox(const cups_page_header2_t& header);

// Writes the sequence that opens the pass of one plane: the raster preamble
// for plane 0, the end of the previous pass for later planes, then the colour
// select.  `last` is the plane whose pass ends the copy; only its colour
// select carries flag 1.  The same call writes the same bytes every time.
void StartPlane(Sink& sink, const Page& page, int plane, int last);
