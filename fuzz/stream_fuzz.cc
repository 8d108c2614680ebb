// The stream decoder on arbitrary bytes: it must reject or accept, never
// crash, overread or loop.
#include <cstdint>

#include "tools/stream_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelt::stream::DecodeStream({data, size}, {}, /*keep_rows=*/false);
  return 0;
}
