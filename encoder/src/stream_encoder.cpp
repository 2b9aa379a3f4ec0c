#include "stream_encoder.h"

namespace encoder {

BE_ERR from_lame_result(int result) {
    return result == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

BE_ERR SerialEncoder::encode(const int16_t* pcm, uint32_t samples, Output& out) {
    auto* input = const_cast<int16_t*>(pcm);  // LAME only reads it
    const int count = static_cast<int>(samples);
    const int size = static_cast<int>(out.capacity);
    const int result = channels_ == 2 ? lame_encode_buffer_interleaved(lame_.get(), input, count, out.data, size)
                                      : lame_encode_buffer(lame_.get(), input, input, count, out.data, size);
    if (result < 0) return from_lame_result(result);
    out.used = static_cast<uint32_t>(result);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR SerialEncoder::flush(Output& out) {
    const int result = lame_encode_flush(lame_.get(), out.data, static_cast<int>(out.capacity));
    if (result < 0) return from_lame_result(result);
    out.used = static_cast<uint32_t>(result);
    return BE_ERR_SUCCESSFUL;
}

std::vector<uint8_t> SerialEncoder::tag_frame() {
    std::vector<uint8_t> frame(2048);
    size_t size = lame_get_lametag_frame(lame_.get(), frame.data(), frame.size());
    if (size > frame.size()) {
        frame.resize(size);
        size = lame_get_lametag_frame(lame_.get(), frame.data(), frame.size());
    }
    frame.resize(size <= frame.size() ? size : 0);
    return frame;
}

}  // namespace encoder
