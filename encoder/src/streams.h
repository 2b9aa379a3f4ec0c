// The open encoder streams of the library, each behind a 32-bit handle.
#pragma once

#include <lame/lame.h>

#include <cstdint>
#include <memory>

#include "encoder/blade_enc.h"

namespace encoder {

struct Stream {
    lame_t lame = nullptr;
    uint32_t samples_per_chunk = 0;  // interleaved 16-bit values per beEncodeChunk
    uint32_t mp3_buffer_size = 0;    // bytes every output buffer holds
    int input_channels = 0;
    bool flushed = false;
    ~Stream();
};

// Registers `stream`; 0 when every handle is taken.
HBE_STREAM add_stream(std::unique_ptr<Stream> stream);
// The stream behind `handle`, or nullptr. Calls on one stream come from one
// thread at a time, so the pointer stays valid until that thread closes it.
Stream* find_stream(HBE_STREAM handle);
// Releases the stream; false when `handle` names none (already closed).
bool remove_stream(HBE_STREAM handle);
// Remembers the last flushed stream for beWriteVBRHeader; 0 when none is open.
void set_last_flushed(HBE_STREAM handle);
HBE_STREAM last_flushed();

}  // namespace encoder
