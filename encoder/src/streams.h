// The open encoder streams of the library, each behind a 32-bit handle.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "encoder/blade_enc.h"
#include "stream_encoder.h"

namespace encoder {

// The first frame of a stream's output as it was handed out: the place
// reserved for the tag frame.
class FirstFrame {
public:
    void add(std::span<const uint8_t> output);
    // Empty until the whole frame has passed.
    std::span<const uint8_t> bytes() const;

private:
    std::vector<uint8_t> bytes_;
    size_t wanted_ = 4;  // the header, then the whole frame
    bool done_ = false;
};

struct Stream {
    std::unique_ptr<StreamEncoder> encoder;
    uint32_t samples_per_chunk = 0;  // interleaved 16-bit values per beEncodeChunk
    uint32_t mp3_buffer_size = 0;    // bytes every output buffer holds
    int input_channels = 0;
    bool flushed = false;
    FirstFrame first_frame;
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
