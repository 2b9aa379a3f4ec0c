// The writer's walk over an old tag: the new tag it builds must be one that
// the reader takes back whole, with the staged values as its fields, and one
// that a later write can walk again.
#include <cstdlib>
#include <cstring>

#include "id3/id3v2_fields.h"
#include "id3/id3v2_reader.h"
#include "id3/id3v2_writer.h"
#include "id3/tag_state.h"

namespace {

bool field_is(int slot, const char* value) {
    const char* text = engine::id3v2_fields[slot].text;
    return text != nullptr && std::strcmp(text, value) == 0;
}

void stage() {
    engine::release_id3v2_fields();
    engine::store_field_text(engine::kTitle, "title", 100);
    engine::store_field_text(engine::kComment, "comment", 100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stage();
    engine::Bytes frames;
    const int64_t file_length = static_cast<int64_t>(size) + 100000;
    const int32_t result = engine::build_id3v2_frames(engine::ByteSpan(data, size), file_length, frames);
    if (result == engine::kWriteOk) {
        const engine::Bytes tag = engine::render_id3v2_tag(frames);
        if (engine::id3v2_tag_length_of(tag) != tag.size()) std::abort();
        engine::release_id3v2_fields();
        if (engine::read_id3v2_tag_bytes(tag) != engine::kReadOk) std::abort();
        if (!field_is(engine::kTitle, "title") || !field_is(engine::kComment, "comment")) std::abort();
        stage();
        engine::Bytes again;
        if (engine::build_id3v2_frames(tag, file_length, again) != engine::kWriteOk) std::abort();
    } else if (result != engine::kWriteFrameTooLarge && result != engine::kWriteOldTagUnreadable) {
        std::abort();
    }
    if (engine::release_id3v2_fields() != 0) std::abort();
    return 0;
}
