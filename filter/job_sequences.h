// The fixed sequences that open and close a job on the printer.
#pragma once

#include <cups/ppd.h>

// Writes the job-start sequence: three resets, the mode command and the
// select command.  The PPD does not change it.
void Setup(ppd_file_t* ppd);

// Writes the job-end sequence, once, after the last page.
void WriteJobEnd();
