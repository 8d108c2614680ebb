// The fixed sequences that open and close a job on the printer.
#pragma once

class Sink;

// Writes the job-start sequence: three resets, the mode command and the
// select command, as five counted writes.
void Setup(Sink& sink);

// Writes the job-end sequence, once, after the last page.
void WriteJobEnd(Sink& sink);
