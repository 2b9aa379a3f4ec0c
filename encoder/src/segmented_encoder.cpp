#include "segmented_encoder.h"

#include <algorithm>
#include <memory>

#include "mp3_frame.h"

namespace encoder {

SegmentedEncoder::SegmentedEncoder(const BE_CONFIG& config, const SegmentLayout& layout, unsigned threads,
                                   SegmentWork work)
    : config_(config),
      layout_(layout),
      work_(work),
      // Two segments per worker keep every worker busy while the oldest is
      // handed out, and bound the memory.
      max_outstanding_(size_t{2} * std::max(threads, 1u)),
      pipeline_(threads, [this](Pipeline::Job& job) {
          work_(config_, layout_.channels, static_cast<Segment&>(job));
      }) {}

uint32_t SegmentedEncoder::burst_bytes() const {
    // A segment yields its own frames, at most three more from the flush and
    // the reserved tag frame; a call hands out every outstanding segment and
    // the flush the last one too.
    const uint64_t longest = std::max(layout_.first_frames, layout_.segment_frames);
    const uint64_t per_segment = (longest + 5) * layout_.max_frame_bytes;
    return static_cast<uint32_t>((max_outstanding_ + 1) * per_segment);
}

uint64_t SegmentedEncoder::pending_end() const {
    return pending_start_ + pending_.size() / static_cast<size_t>(layout_.channels);
}

uint64_t SegmentedEncoder::own_samples() const {
    return uint64_t{first_ ? layout_.first_frames : layout_.segment_frames} * layout_.frame_samples;
}

// A segment is ready when its samples and one frame of look-ahead are in:
// LAME needs that much beyond a frame before it writes the frame.
bool SegmentedEncoder::segment_ready() const {
    return pending_end() >= next_start_ + own_samples() + layout_.frame_samples;
}

void SegmentedEncoder::dispatch(bool last) {
    const uint64_t frame = layout_.frame_samples;
    const uint64_t priming = first_ ? 0 : uint64_t{layout_.priming_frames} * frame;
    const uint64_t begin = next_start_ - priming;
    const uint64_t own = own_samples();
    const uint64_t end = last ? pending_end() : next_start_ + own + frame;
    const auto channels = static_cast<uint64_t>(layout_.channels);

    auto segment = std::make_unique<Segment>();
    segment->index = next_index_++;
    segment->first = first_;
    segment->last = last;
    segment->skip_frames = static_cast<uint32_t>(priming / frame);
    segment->keep_frames = last ? 0 : static_cast<uint32_t>(own / frame);
    const auto from = pending_.begin() + static_cast<ptrdiff_t>((begin - pending_start_) * channels);
    segment->pcm.assign(from, from + static_cast<ptrdiff_t>((end - begin) * channels));

    first_ = false;
    next_start_ += own;
    // Keep only what the next segment primes with and what follows.
    const uint64_t keep_from = std::min(next_start_ - uint64_t{layout_.priming_frames} * frame, pending_end());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>((keep_from - pending_start_) * channels));
    pending_start_ = keep_from;
    pipeline_.submit(std::move(segment));
}

BE_ERR SegmentedEncoder::emit(Segment& segment, Output& out) {
    if (segment.error != BE_ERR_SUCCESSFUL) return segment.error;
    if (segment.mp3.size() > out.capacity - out.used) return BE_ERR_BUFFER_TOO_SMALL;
    if (segment.first) reserved_tag_ = std::move(segment.reserved_tag);
    if (segment.last) padding_ = segment.padding;
    const std::span<const uint8_t> bytes(segment.mp3);
    size_t at = 0;
    if (!reserved_passed_) {  // the reserved tag frame is not audio
        at = reserved_tag_.size();
        reserved_passed_ = true;
    }
    while (at < bytes.size()) {
        const auto header = parse_frame_header(bytes.subspan(at));
        if (!header || bytes.size() - at < header->bytes) return BE_ERR_INVALID_FORMAT;
        account_.add_frame(bytes.subspan(at, header->bytes), header->kbps);
        at += header->bytes;
    }
    std::copy(bytes.begin(), bytes.end(), out.data + out.used);
    out.used += static_cast<uint32_t>(bytes.size());
    return BE_ERR_SUCCESSFUL;
}

BE_ERR SegmentedEncoder::drain(size_t outstanding, Output& out) {
    while (pipeline_.outstanding() > outstanding) {
        const auto job = pipeline_.take(true);
        if (job == nullptr) return BE_ERR_INVALID_HANDLE;  // the workers are gone
        if (const BE_ERR error = emit(static_cast<Segment&>(*job), out); error != BE_ERR_SUCCESSFUL) return error;
    }
    while (const auto job = pipeline_.take(false))
        if (const BE_ERR error = emit(static_cast<Segment&>(*job), out); error != BE_ERR_SUCCESSFUL) return error;
    return BE_ERR_SUCCESSFUL;
}

// A failed segment ends the stream: the workers stop and every later call
// reports the failure.
BE_ERR SegmentedEncoder::fail(BE_ERR error) {
    if (error != BE_ERR_SUCCESSFUL && error_ == BE_ERR_SUCCESSFUL) {
        error_ = error;
        pipeline_.stop();
    }
    return error;
}

BE_ERR SegmentedEncoder::encode(const int16_t* pcm, uint32_t samples, Output& out) {
    if (error_ != BE_ERR_SUCCESSFUL) return error_;
    pending_.insert(pending_.end(), pcm, pcm + size_t{samples} * static_cast<size_t>(layout_.channels));
    if (segment_ready()) {
        // At most max_outstanding_ segments in flight: wait for the oldest.
        if (const BE_ERR error = drain(max_outstanding_ - 1, out); error != BE_ERR_SUCCESSFUL) return fail(error);
        dispatch(false);
    }
    return fail(drain(max_outstanding_, out));
}

BE_ERR SegmentedEncoder::flush(Output& out) {
    if (error_ != BE_ERR_SUCCESSFUL) return error_;
    dispatch(true);
    const BE_ERR error = drain(0, out);
    pipeline_.stop();  // nothing more to do: no thread outlives the stream's end
    return fail(error);
}

std::vector<uint8_t> SegmentedEncoder::tag_frame() {
    if (reserved_tag_.empty()) return {};
    return account_.build(reserved_tag_, padding_);
}

}  // namespace encoder
