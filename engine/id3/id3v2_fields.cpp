#include "id3v2_fields.h"

#include <algorithm>
#include <climits>
#include <cstring>


namespace engine {

int slot_of_frame(std::string_view id) {
    for (const zubmp3::Id3v2Field& field : zubmp3::kId3v2Fields)
        if (id == field.frame_id) return field.slot;
    return -1;
}

int32_t release_id3v2_fields() {
    for (id3v2_field& field : id3v2_fields) {
        tag_free(field.text);
        field.text = nullptr;
        field.size = 0;
    }
    return tag_alloc_count.load();
}

void store_field_text(int slot, std::string_view text, size_t extra) {
    id3v2_field& field = id3v2_fields[slot];
    tag_free(field.text);
    field.text = static_cast<char*>(tag_alloc(text.size() + 1 + extra));
    if (field.text != nullptr) {
        std::memcpy(field.text, text.data(), text.size());
        field.text[text.size()] = '\0';
    }
    const size_t size = std::min<size_t>(text.size(), INT32_MAX);
    field.size = field.text != nullptr ? static_cast<int32_t>(size) : 0;
}

namespace {

// Where the value of a frame's content of `n` bytes starts; n for none.
size_t value_start(const uint8_t* content, size_t n, int kind) {
    if (kind == kTextFrame) return n > 1 ? 1 : n;
    const size_t search_from = kind == kCommentFrame ? 4 : kind == kUrlFrame ? 1 : 0;
    if (n <= search_from + 1) return n;
    // The first zero among positions search_from .. n-2 ends the description.
    for (size_t i = search_from; i + 1 < n; ++i)
        if (content[i] == 0) return i + 1;
    return n;
}

}  // namespace

char* extract_frame_value(const uint8_t* content, size_t n, int kind) {
    const size_t start = value_start(content, n, kind);
    size_t end = start;
    while (end < n && content[end] != 0) ++end;
    char* text = static_cast<char*>(tag_alloc(end - start + 1));
    if (text == nullptr) return nullptr;
    if (end > start) std::memcpy(text, content + start, end - start);
    text[end - start] = '\0';
    return text;
}

}  // namespace engine
