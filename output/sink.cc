#include "output/sink.h"

void StreamSink::Write(Bytes bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) failed_ = true;
}

void StreamSink::Flush() {
  if (std::fflush(stream_) != 0) failed_ = true;
}
