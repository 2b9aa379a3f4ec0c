#include "streams.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "mp3_frame.h"

namespace encoder {
namespace {

constexpr size_t kMaxStreams = 64;

struct Registry {
    std::mutex mutex;
    std::map<HBE_STREAM, std::unique_ptr<Stream>> streams;
    HBE_STREAM next_handle = 1;
    HBE_STREAM last_flushed = 0;
};

// Never destroyed: a process may end while a stream is open and its encoder
// threads run; tearing the streams down under them at exit would crash.
Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

}  // namespace

void FirstFrame::add(std::span<const uint8_t> output) {
    while (!done_ && !output.empty()) {
        const size_t take = std::min(wanted_ - bytes_.size(), output.size());
        bytes_.insert(bytes_.end(), output.begin(), output.begin() + static_cast<ptrdiff_t>(take));
        output = output.subspan(take);
        if (bytes_.size() < wanted_) return;
        if (wanted_ == 4) {
            const auto header = parse_frame_header(bytes_);
            wanted_ = header ? header->bytes : 0;
            if (header) continue;
            bytes_.clear();  // not a frame: nothing is reserved
        }
        done_ = true;
    }
}

std::span<const uint8_t> FirstFrame::bytes() const {
    return done_ ? std::span<const uint8_t>(bytes_) : std::span<const uint8_t>();
}

HBE_STREAM add_stream(std::unique_ptr<Stream> stream) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.streams.size() >= kMaxStreams) return 0;
    // Handles are not reused soon, so a stale handle is refused, not mistaken
    // for a newer stream.
    while (r.next_handle == 0 || r.streams.contains(r.next_handle)) ++r.next_handle;
    const HBE_STREAM handle = r.next_handle++;
    r.streams.emplace(handle, std::move(stream));
    return handle;
}

Stream* find_stream(HBE_STREAM handle) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.streams.find(handle);
    return found == r.streams.end() ? nullptr : found->second.get();
}

bool remove_stream(HBE_STREAM handle) {
    std::unique_ptr<Stream> released;
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        const auto found = r.streams.find(handle);
        if (found == r.streams.end()) return false;
        released = std::move(found->second);
        r.streams.erase(found);
        if (r.last_flushed == handle) r.last_flushed = 0;
    }
    return true;  // `released` stops its threads and closes its encoders outside the lock
}

void set_last_flushed(HBE_STREAM handle) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.last_flushed = handle;
}

HBE_STREAM last_flushed() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.last_flushed;
}

}  // namespace encoder
