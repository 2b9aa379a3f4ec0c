#include "info_tag.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/win32.h"

namespace encoder {

int64_t skip_id3v2(std::span<const uint8_t> head) {
    if (head.size() < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
    // 3 version, 4 revision, 5 flags, 6..9 synchsafe size of what follows the header
    for (size_t i = 6; i < 10; ++i)
        if (head[i] & 0x80) return -1;
    const int64_t size = (int64_t{head[6]} << 21) | (int64_t{head[7]} << 14) | (int64_t{head[8]} << 7) | head[9];
    const bool has_footer = (head[5] & 0x10) != 0;
    return 10 + size + (has_footer ? 10 : 0);
}

namespace {

BE_ERR patch(FILE* file, std::span<const uint8_t> reserved, std::span<const uint8_t> frame) {
    uint8_t head[10] = {};
    if (std::fread(head, 1, sizeof head, file) < 2) return BE_ERR_INVALID_FORMAT;
    const int64_t offset = skip_id3v2(head);
    if (offset < 0) return BE_ERR_INVALID_FORMAT;

    if (_fseeki64(file, 0, SEEK_END) != 0) return BE_ERR_INVALID_FORMAT;
    const int64_t length = _ftelli64(file);
    if (length < 0 || offset > length || static_cast<uint64_t>(length - offset) < frame.size())
        return BE_ERR_INVALID_FORMAT;

    std::vector<uint8_t> there(frame.size());
    if (_fseeki64(file, offset, SEEK_SET) != 0 || std::fread(there.data(), 1, there.size(), file) != there.size())
        return BE_ERR_INVALID_FORMAT;
    if (std::equal(there.begin(), there.end(), frame.begin())) return BE_ERR_SUCCESSFUL;
    // Anything but the reserved frame is not ours to overwrite.
    if (!std::equal(there.begin(), there.end(), reserved.begin())) return BE_ERR_INVALID_FORMAT;
    if (_fseeki64(file, offset, SEEK_SET) != 0) return BE_ERR_INVALID_FORMAT;
    if (std::fwrite(frame.data(), 1, frame.size(), file) != frame.size()) return BE_ERR_INVALID_FORMAT;
    return std::fflush(file) == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT;
}

}  // namespace

BE_ERR write_tag_frame(const char* windows_path, std::span<const uint8_t> reserved, std::span<const uint8_t> frame) {
    if (windows_path == nullptr || frame.size() < 4 || reserved.size() != frame.size())
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    FILE* file = win_fopen(windows_path, "r+b");
    if (file == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    BE_ERR result = patch(file, reserved, frame);
    if (std::fclose(file) != 0 && result == BE_ERR_SUCCESSFUL) result = BE_ERR_INVALID_FORMAT;
    return result;
}

}  // namespace encoder
