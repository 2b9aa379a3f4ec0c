#include "tag_state.h"

#include <cstdlib>

namespace engine {

char v1_title[kV1FieldSize];
char v1_artist[kV1FieldSize];
char v1_album[kV1FieldSize];
char v1_year[kV1FieldSize];
char v1_comment[kV1FieldSize];
int32_t v1_track = 0;
int32_t v1_genre = 0;

id3v2_field id3v2_fields[kId3v2SlotCount];

char temp_folder[kTempFolderSize];
bool temp_folder_fits = true;

std::atomic<int32_t> tag_alloc_count{0};

void* tag_alloc(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++tag_alloc_count;
    return block;
}

void tag_free(void* block) {
    if (block == nullptr) return;
    std::free(block);
    --tag_alloc_count;
}

}  // namespace engine
