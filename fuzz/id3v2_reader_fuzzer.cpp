// The ID3v2 reader on any bytes: no read out of bounds, every text block
// given back.
#include <cstdlib>
#include <cstring>

#include "id3/id3v2_fields.h"
#include "id3/id3v2_reader.h"
#include "id3/tag_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    engine::release_id3v2_fields();
    const int32_t result = engine::read_id3v2_tag_bytes(engine::ByteSpan(data, size));
    if (result < 0 || result > 3) std::abort();
    for (const engine::id3v2_field& field : engine::id3v2_fields)
        if (field.text != nullptr && field.size != static_cast<int32_t>(std::strlen(field.text))) std::abort();
    if (engine::release_id3v2_fields() != 0) std::abort();
    return 0;
}
