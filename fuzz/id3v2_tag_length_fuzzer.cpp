// The length of an ID3v2 tag from its header: 0, or header, size and footer.
#include <cstdlib>

#include "id3/id3v2_tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t length = engine::id3v2_tag_length_of(engine::ByteSpan(data, size));
    if (length != 0 && (size < 10 || length < 10 || length > 0x0FFFFFFFu + 20)) std::abort();
    return 0;
}
