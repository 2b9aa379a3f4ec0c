// ZUBEncode: the encode methods, the status poll, error reporting and the
// control's lifecycle.
#include <chrono>

#include "error_table.h"
#include "form1.h"
#include "globais.h"
#include "product.h"
#include "zubencode_impl.h"
#include "zubmp3/engine_results.h"

namespace zubmp3 {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(250);
// While the end of a job may come before the next poll, the end watch asks
// every few milliseconds whether it has come, so that the end is reported at
// once instead of up to a poll interval late.
constexpr auto kEndWatchInterval = std::chrono::milliseconds(4);
constexpr Long kLastProgress = 99;  // a finished job's own figure
constexpr int kFixedSizeTwips = 550;

// Unused text slots carry one blank.
const char16_t kBlank[] = u" ";

struct OptionWord {
    const char16_t* word;
    Long value;
};
// Exact, case-sensitive matches; any other text is 0.
constexpr OptionWord kStereoModes[] = {{u"stereo", 0}, {u"joint", 1}, {u"dual", 2}, {u"mono", 3}};
constexpr OptionWord kQualities[] = {{u"normal", 0}, {u"low", 1}, {u"high", 2}};

template <size_t N>
Long option_value(const OptionWord (&table)[N], const Text& word) {
    for (const OptionWord& option : table)
        if (word == option.word) return option.value;
    return 0;
}

constexpr Long kErrorSameFile = 2;
constexpr Long kErrorNoInput = 3;
constexpr Long kErrorNoOutput = 4;
constexpr Long kErrorBadInput = 5;
constexpr Long kErrorRunning = 9;
constexpr Long kErrorPriority = 12;

}  // namespace

// ---- Events: the default sink ignores them ----

void ZUBEncodeEvents::ErrorCode(Long&, Text&) {}
void ZUBEncodeEvents::Finished() {}
void ZUBEncodeEvents::Progress(Long&) {}
void ZUBEncodeEvents::ID3v1GenreList(bool&, Text&) {}

// ---- State ----

ZUBEncode::Impl::Impl(ZUBEncode& owner)
    : control(owner),
      loop(EventLoop::current()),
      Timer1(loop.add_timer(kPollInterval, [this] { Timer1_Timer(); })),
      EndWatch(loop.add_timer(kEndWatchInterval, [this] { EndWatch_Timer(); })) {}

ZUBEncode::Impl::~Impl() {
    loop.remove_timer(Timer1);
    loop.remove_timer(EndWatch);
}

MP3Class& ZUBEncode::Impl::bridge() {
    if (!mp3) mp3 = std::make_unique<MP3Class>();
    return *mp3;
}

MP3Class& ZUBEncode::Impl::engine() {
    MP3Class& bridge_object = bridge();
    bridge_object.Init(false);
    return bridge_object;
}

Long ZUBEncode::Impl::send(const Text& word) { return bridge().CallWindow(word, kBlank, kBlank, kBlank); }

Long ZUBEncode::Impl::send_number(const Text& word, Long value) { return bridge().CallWindowLONG(word, value, 0, 0); }

void ZUBEncode::Impl::ReportErrorCode(const Long& number) {
    ReportedError error = reported_error(number);  // the handler gets copies
    if (events != nullptr) events->ErrorCode(error.number, error.message);
}

// The poll: progress when it changed, then the end of the job as ErrorCode,
// Finished and Progress 100. A loop nested in one of its event handlers does
// not poll again, so an end is reported once.
void ZUBEncode::Impl::Timer1_Timer() {
    if (ticking) return;
    struct TickMark {
        bool& flag;
        explicit TickMark(bool& f) : flag(f) { flag = true; }
        ~TickMark() { flag = false; }
    } const mark(ticking);

    engine();
    const Long engine_progress = send(u"progress");
    Long progress = engine_progress;
    if (progress != LastProgress && events != nullptr) events->Progress(progress);
    LastProgress = progress;

    const Long status = send(u"intreturn");
    if (status >= kJobRunning) return watch_for_end(engine_progress);

    LastProgress = -1;
    const uint64_t job = jobs_started;
    ReportErrorCode(status);
    // A handler that started the next job has re-armed the timers for it.
    if (jobs_started == job) {
        loop.set_timer_enabled(Timer1, false);
        loop.set_timer_enabled(EndWatch, false);
        polling = false;
    }
    if (events != nullptr) events->Finished();
    Long final_progress = 100;
    if (events != nullptr) events->Progress(final_progress);
}

void ZUBEncode::Impl::EndWatch_Timer() {
    if (send(u"intreturn") < kJobRunning) Timer1_Timer();
}

// The end watch runs while the job may end before the next poll: from its
// start (a refused or a short job) until the first poll, and again once the
// progress so far says that the rest takes less than two poll intervals, or
// has reached a finished job's own figure (a long or a resumed job). Most of
// a long job is watched by the poll alone.
void ZUBEncode::Impl::watch_for_end(Long progress) {
    bool near = progress >= kLastProgress;
    if (!near && progress > 0) {
        const auto elapsed = std::chrono::steady_clock::now() - job_started;
        near = elapsed * (kLastProgress - progress) / progress < 2 * kPollInterval;
    }
    loop.set_timer_enabled(EndWatch, near);
}

// ---- Lifecycle ----

ZUBEncode::ZUBEncode() : impl_(std::make_unique<Impl>(*this)) {}

ZUBEncode::~ZUBEncode() {
    // No event is raised from here on: the poll is gone before the job stops.
    impl_->loop.remove_timer(impl_->Timer1);
    impl_->loop.remove_timer(impl_->EndWatch);
    impl_->events = nullptr;
    if (!impl_->mp3 || !impl_->mp3->IsLoaded()) return;
    try {
        // The job this control started has no one left to report to: stop it
        // (the call returns once it has ended). A job another control started
        // runs on; the last control to let the engine go stops it in Deinit.
        if (impl_->polling) MP3EncodeCancel();
        impl_->mp3->Deinit();
    } catch (const AutomationError&) {
        // A loaded bridge does not fail; a destructor must not throw regardless.
    }
}

void ZUBEncode::set_events(ZUBEncodeEvents* sink) { impl_->events = sink; }

ZUBEncode::Size ZUBEncode::Resize(Size) {
    Size size{};
    size.height_twips = kFixedSizeTwips;
    size.width_twips = kFixedSizeTwips;
    return size;
}

Text ZUBEncode::ControlName() { return kControlTitle; }

void ZUBEncode::About() {
    Form1 box;  // freshly loaded for every call, dropped on Exit
    box.Show();
}

// ---- Encode methods ----

void ZUBEncode::MP3EncodePause() {
    impl_->engine();
    impl_->send(u"pause");
}

void ZUBEncode::MP3EncodeResume() {
    impl_->engine();
    impl_->send(u"resume");
}

void ZUBEncode::MP3EncodeCancel() {
    impl_->engine();
    impl_->send(u"cancel");
    // The job has ended when "cancel" returns: report it at once.
    if (impl_->polling) impl_->loop.set_timer_enabled(impl_->EndWatch, true);
}

void ZUBEncode::MP3Encode(const Text& Inputfile, const Text& OutPutFile, Long Bitrate, const Text& StereoMode,
                          const Text& MP3Quality, Long VBR, Long VBRMaxBitrate) {
    MP3Class& bridge = impl_->engine();
    if (impl_->send(u"intreturn") == kJobRunning) return impl_->ReportErrorCode(kErrorRunning);
    if (Globais::CheckForEquality(Inputfile, OutPutFile)) return impl_->ReportErrorCode(kErrorSameFile);
    if (Globais::CheckForEmpty(Inputfile)) return impl_->ReportErrorCode(kErrorNoInput);
    if (Globais::CheckForEmpty(OutPutFile)) return impl_->ReportErrorCode(kErrorNoOutput);
    if (!Globais::CheckInputFile(Inputfile)) return impl_->ReportErrorCode(kErrorBadInput);

    impl_->send_number(u"bitrate", Bitrate);
    impl_->send_number(u"vbr", VBR);
    impl_->send_number(u"vbrmaxbitrate", VBRMaxBitrate);
    impl_->send_number(u"stereomode", option_value(kStereoModes, StereoMode));
    impl_->send_number(u"quality", option_value(kQualities, MP3Quality));
    bridge.CallWindow(u"passfiles", Inputfile, OutPutFile, kBlank);

    ++impl_->jobs_started;
    impl_->polling = true;
    impl_->job_started = std::chrono::steady_clock::now();
    impl_->loop.set_timer_enabled(impl_->Timer1, true);
    impl_->loop.set_timer_enabled(impl_->EndWatch, true);
}

void ZUBEncode::SelectProcessPriority(Long NewLevel) {
    if (NewLevel < 1 || NewLevel > 3) return impl_->ReportErrorCode(kErrorPriority);
    impl_->engine();
    impl_->send_number(u"intpriority", NewLevel);
}

}  // namespace zubmp3
