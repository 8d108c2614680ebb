#include "filter/job_sequences.h"

#include "output/commands.h"
#include "output/sink.h"

void Setup(Sink& sink) {
  sink.Send(kJobReset);
  sink.Send(kJobReset);
  sink.Send(kJobReset);
  sink.Send(kJobStartMode);
  sink.Send(kJobStartSelect);
}

void WriteJobEnd(Sink& sink) { sink.Send(kJobEnd); }
