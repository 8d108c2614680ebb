// Page finish: the rest of the page for every copy, replayed from the spool
// files, then the page's spool files and buffers released.
#pragma once

#include "page/job.h"

class Sink;

struct Page;

// Sends, copy by copy, every plane not yet sent up to the last plane with
// data, each opened by its pass sequence and followed by its spool file's
// bytes, then the gloss pass where it applies and the page end sequence.
// `page_number` counts from 1 for the status lines.  Fails when a spool file
// cannot be measured or read back whole: the page could no longer print
// complete.  The spool files and buffers are released either way.
Status EndPage(Job& job, Page& page, int page_number);

// Closes a copy of the page: the gloss pass on a glossy variable-dot page,
// then the page end sequence.
void CloseCopy(Sink& sink, const Page& page);
