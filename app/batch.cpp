#include "batch.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "child_process.h"
#include "commands.h"
#include "control_events.h"
#include "encode_messages.h"
#include "library_hint.h"
#include "progress_bar.h"
#include "steering.h"

namespace zubmp3::app {
namespace {

constexpr int kWaitMilliseconds = 100;
constexpr double kConvertShare = 0.2;  // of a converted file's work, the conversion

struct Running {
    size_t job = 0;
    std::unique_ptr<ChildProcess> child;
    bool converts = false;
    int convert_percent = 0, encode_percent = 0;
    std::optional<Long> result;  // the child's ErrorCode
    std::string error;           // its first message

    double done() const {
        const double encoded = encode_percent / 100.0;
        return converts ? kConvertShare * convert_percent / 100.0 + (1 - kConvertShare) * encoded : encoded;
    }
};

// A number after `word ` at the start of `line`, e.g. "Progress 42".
std::optional<int> figure(const std::string& line, const std::string& word) {
    if (line.rfind(word + ' ', 0) != 0) return std::nullopt;
    try {
        return std::stoi(line.substr(word.size() + 1));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

class Batch {
public:
    Batch(const std::vector<BatchJob>& jobs, const BatchOptions& options)
        : jobs_(jobs), options_(options), steering_(options.events, options.stdin_keys), shares_(jobs.size()) {
        for (size_t i = 0; i < jobs.size(); ++i) shares_[i].seconds = jobs[i].seconds;
        if (!options.events && platform::is_terminal(platform::StdStream::error)) {
            double total = 0;
            for (const BatchJob& job : jobs) total += job.seconds;
            bar_.emplace(total, steering_.raw_terminal());
            bar_->set_files(0, static_cast<int>(jobs.size()));
        }
    }

    int run() {
        while ((!stopped_ && next_ < jobs_.size()) || !running_.empty()) {
            start_jobs();
            std::vector<int> descriptors;
            for (const Running& r : running_)
                descriptors.insert(descriptors.end(), {r.child->output_descriptor(), r.child->error_descriptor()});
            if (!running_.empty()) wait_for_input(descriptors, kWaitMilliseconds);
            steer();
            collect();
            show();
        }
        return finish();
    }

private:
    bool starting() const { return !stopped_ && next_ < jobs_.size() && running_.size() < static_cast<size_t>(options_.jobs); }

    void start_jobs() {
        while (starting()) {
            const size_t index = next_++;
            const BatchJob& job = jobs_[index];
            const auto out = host_path(job.output);
            std::error_code ignored;
            if (options_.no_clobber && out && std::filesystem::exists(*out, ignored)) {
                message("zubmp3: " + job.output + ": exists; kept (--no-clobber)");
                if (options_.json) report(encode_report(job.input, job.output, std::nullopt, "", true));
                finished_one(index, true);
                continue;
            }
            std::vector<std::string> argv = {own_executable(), "encode"};
            argv.insert(argv.end(), options_.child_options.begin(), options_.child_options.end());
            argv.insert(argv.end(), {"--events", "--stdin-keys", "--", job.input, job.output});
            try {
                Running started;
                started.job = index;
                started.child = std::make_unique<ChildProcess>(argv, encoder_threads(index));
                running_.push_back(std::move(started));
            } catch (const std::exception& e) {
                message(std::string("zubmp3: ") + e.what());
                finished_one(index, false);
                continue;
            }
            if (paused_) running_.back().child->send("p");
        }
    }

    // The cores shared among the jobs that will run beside this one: with as
    // many jobs as cores each encodes on one thread (segments on several
    // threads would only add their priming work), and the last files, once
    // fewer remain than jobs, take the cores that fall free. A count the
    // user set in ZUBMP3_ENCODER_THREADS holds.
    std::vector<std::string> encoder_threads(size_t index) const {
        if (std::getenv("ZUBMP3_ENCODER_THREADS") != nullptr) return {};
        const size_t cores = std::max(1u, std::thread::hardware_concurrency());
        const size_t beside = std::min(static_cast<size_t>(options_.jobs), running_.size() + (jobs_.size() - index));
        return {"ZUBMP3_ENCODER_THREADS=" + std::to_string(std::max<size_t>(1, cores / std::max<size_t>(1, beside)))};
    }

    void send_all(const std::string& key) {
        for (Running& r : running_) r.child->send(key);
    }

    void steer() {
        for (Steer s = steering_.poll(); s != Steer::none; s = steering_.poll()) {
            if (s == Steer::cancel) {
                stopped_ = true;
                paused_ = false;
                send_all("c");  // each child cancels its job cleanly
                continue;
            }
            paused_ = s == Steer::pause;
            send_all(paused_ ? "p" : "r");
            if (bar_) bar_->set_paused(paused_);
        }
    }

    void relay(const Running& r, const std::string& line) {
        if (options_.events) std::cout << jobs_[r.job].input << '\t' << line << std::endl;
    }

    void read(Running& r) {
        for (const std::string& line : r.child->take_output_lines()) {
            relay(r, line);
            if (const auto p = figure(line, "Convert")) r.converts = true, r.convert_percent = *p;
            if (const auto p = figure(line, "Progress")) r.encode_percent = std::clamp(*p, 0, 100);
            if (const auto n = figure(line, "ErrorCode")) r.result = *n;
        }
        for (const std::string& line : r.child->take_error_lines()) {
            message(line);
            if (r.error.empty()) r.error = line;
        }
        shares_[r.job].done = r.done();
    }

    void collect() {
        for (auto it = running_.begin(); it != running_.end();) {
            read(*it);
            const auto status = it->child->finished();
            if (!status) {
                ++it;
                continue;
            }
            if (*status == kAutomationError) automation_ = stopped_ = true;  // no job can run
            const bool success = *status == kSuccess && tagged(*it);
            if (options_.json) report(encode_report(jobs_[it->job].input, jobs_[it->job].output, it->result, it->error));
            finished_one(it->job, success);
            it = running_.erase(it);
        }
    }

    // The tags of a finished job, written by this process.
    bool tagged(Running& r) {
        if (!options_.after_success) return true;
        if (bar_) bar_->clear();
        try {
            if (options_.after_success(jobs_[r.job].output) == kSuccess) return true;
        } catch (const AutomationError& e) {
            message("zubmp3: automation error " + std::to_string(e.number()) + ": " + to_utf8(e.description()));
            if (const auto hint = library_hint(e.number())) message("zubmp3: " + *hint);
            automation_ = stopped_ = true;
        }
        r.error = "the MP3 is made, but its tags were not written";
        return false;
    }

    void report(const nlohmann::json& line) const { std::cout << line.dump() << std::endl; }

    void finished_one(size_t job, bool success) {
        ++done_;
        if (!success) ++failed_;
        shares_[job].done = 1;
        if (bar_) bar_->set_files(done_ - failed_, static_cast<int>(jobs_.size()));
    }

    void show() {
        if (!bar_) return;
        bar_->set_percent(batch_percent(shares_));
        bar_->tick();
    }

    void message(const std::string& line) {
        if (bar_) bar_->clear();
        std::cerr << line << '\n' << std::flush;
    }

    int finish() {
        if (bar_) bar_->finish(failed_ == 0 && next_ == jobs_.size());
        const int not_encoded = failed_ + static_cast<int>(jobs_.size() - next_);
        if (not_encoded > 0)
            complain(std::to_string(jobs_.size() - not_encoded) + " of " + std::to_string(jobs_.size()) +
                     " files encoded; " + std::to_string(not_encoded) + " not");
        if (steering_.interrupted()) return steering_.interrupt_status();
        if (automation_) return kAutomationError;
        return not_encoded == 0 ? kSuccess : batch_status(not_encoded);
    }

    const std::vector<BatchJob>& jobs_;
    const BatchOptions& options_;
    Steering steering_;
    std::vector<BatchShare> shares_;
    std::optional<ProgressLine> bar_;
    std::vector<Running> running_;
    size_t next_ = 0;
    int done_ = 0, failed_ = 0;
    bool stopped_ = false, paused_ = false, automation_ = false;
};

}  // namespace

int batch_status(int failed) { return failed <= 0 ? 0 : 10 + std::min(failed, 100); }

int batch_percent(const std::vector<BatchShare>& shares) {
    double total = 0, done = 0;
    bool lengths = std::all_of(shares.begin(), shares.end(), [](const BatchShare& s) { return s.seconds > 0; });
    for (const BatchShare& share : shares) {
        const double weight = lengths ? share.seconds : 1;
        total += weight;
        done += weight * std::clamp(share.done, 0.0, 1.0);
    }
    return total > 0 ? static_cast<int>(done * 100 / total) : 0;
}

int run_batch(const std::vector<BatchJob>& jobs, const BatchOptions& options) {
    ignore_broken_pipes();
    return Batch(jobs, options).run();
}

}  // namespace zubmp3::app
