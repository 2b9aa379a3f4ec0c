// A pool of worker threads that runs jobs and hands them back in the order
// they were submitted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace encoder {

class Pipeline {
public:
    struct Job {
        virtual ~Job() = default;
        bool done = false;  // set by the worker, under the pipeline's lock
    };
    using Work = std::function<void(Job&)>;

    // Starts up to `threads` workers from the calling thread, so they take
    // its scheduling priority; they block every signal. `work` must not throw.
    Pipeline(unsigned threads, Work work);
    // Stops the workers (jobs not started are dropped) and waits for them.
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    unsigned threads() const { return static_cast<unsigned>(threads_.size()); }
    void submit(std::unique_ptr<Job> job);
    // Jobs submitted and not yet taken back.
    size_t outstanding() const;
    // The oldest job not yet taken back, once it is done; with `wait` false
    // nullptr unless it is done already. nullptr when there is none.
    std::unique_ptr<Job> take(bool wait);
    // Stops the workers and waits for them; later submissions are dropped.
    void stop();

private:
    static uint32_t thread_main(void* self);
    void run();

    Work work_;
    mutable std::mutex mutex_;
    std::condition_variable job_ready_;
    std::condition_variable job_done_;
    std::deque<std::unique_ptr<Job>> in_order_;  // submitted, not taken back
    std::deque<Job*> waiting_;                   // submitted, not started
    bool stopping_ = false;
    std::vector<void*> threads_;
};

}  // namespace encoder
