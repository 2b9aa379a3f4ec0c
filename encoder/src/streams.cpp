#include "streams.h"

#include <map>
#include <mutex>

namespace encoder {
namespace {

constexpr size_t kMaxStreams = 64;

std::mutex streams_mutex;
std::map<HBE_STREAM, std::unique_ptr<Stream>> streams;
HBE_STREAM next_handle = 1;
HBE_STREAM last_flushed_handle = 0;

}  // namespace

Stream::~Stream() {
    if (lame != nullptr) lame_close(lame);
}

HBE_STREAM add_stream(std::unique_ptr<Stream> stream) {
    std::lock_guard lock(streams_mutex);
    if (streams.size() >= kMaxStreams) return 0;
    // Handles are not reused soon, so a stale handle is refused, not mistaken
    // for a newer stream.
    while (next_handle == 0 || streams.contains(next_handle)) ++next_handle;
    const HBE_STREAM handle = next_handle++;
    streams.emplace(handle, std::move(stream));
    return handle;
}

Stream* find_stream(HBE_STREAM handle) {
    std::lock_guard lock(streams_mutex);
    const auto found = streams.find(handle);
    return found == streams.end() ? nullptr : found->second.get();
}

bool remove_stream(HBE_STREAM handle) {
    std::unique_ptr<Stream> released;
    {
        std::lock_guard lock(streams_mutex);
        const auto found = streams.find(handle);
        if (found == streams.end()) return false;
        released = std::move(found->second);
        streams.erase(found);
        if (last_flushed_handle == handle) last_flushed_handle = 0;
    }
    return true;  // `released` closes the LAME context outside the lock
}

void set_last_flushed(HBE_STREAM handle) {
    std::lock_guard lock(streams_mutex);
    last_flushed_handle = handle;
}

HBE_STREAM last_flushed() {
    std::lock_guard lock(streams_mutex);
    return last_flushed_handle;
}

}  // namespace encoder
