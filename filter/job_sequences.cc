#include "filter/job_sequences.h"

#include "output/commands.h"

void Setup(ppd_file_t* /*ppd*/) {
  WriteCommand(kJobReset);
  WriteCommand(kJobReset);
  WriteCommand(kJobReset);
  WriteCommand(kJobStartMode);
  WriteCommand(kJobStartSelect);
}

void WriteJobEnd() { WriteCommand(kJobEnd); }
