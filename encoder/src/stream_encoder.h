// What an open stream encodes with: one LAME encoder, or segments of the
// stream encoded by several at once.
#pragma once

#include <lame/lame.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/blade_enc.h"

namespace encoder {

// Where a call puts its MP3 bytes: `capacity` bytes at `data`.
struct Output {
    uint8_t* data;
    uint32_t capacity;
    uint32_t used = 0;
};

class StreamEncoder {
public:
    virtual ~StreamEncoder() = default;
    // Encodes `samples` samples per channel, interleaved at `pcm`.
    virtual BE_ERR encode(const int16_t* pcm, uint32_t samples, Output& out) = 0;
    // Encodes what is left and ends the stream.
    virtual BE_ERR flush(Output& out) = 0;
    // The finished tag frame for the reserved one (after the flush); empty
    // when the stream reserved none.
    virtual std::vector<uint8_t> tag_frame() = 0;
};

struct LameCloser {
    void operator()(lame_global_flags* lame) const { lame_close(lame); }
};
using Lame = std::unique_ptr<lame_global_flags, LameCloser>;

BE_ERR from_lame_result(int result);

// The whole stream through one LAME encoder.
class SerialEncoder final : public StreamEncoder {
public:
    SerialEncoder(Lame lame, int channels) : lame_(std::move(lame)), channels_(channels) {}
    BE_ERR encode(const int16_t* pcm, uint32_t samples, Output& out) override;
    BE_ERR flush(Output& out) override;
    std::vector<uint8_t> tag_frame() override;

private:
    Lame lame_;
    int channels_;
};

}  // namespace encoder
