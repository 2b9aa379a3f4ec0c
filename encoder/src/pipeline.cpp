#include "pipeline.h"

#include "platform/win32.h"

namespace encoder {

Pipeline::Pipeline(unsigned threads, Work work) : work_(std::move(work)) {
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        // The platform's threads block every signal: the application's
        // handlers keep running on its own threads.
        HANDLE thread = CreateThread(nullptr, 0, &Pipeline::thread_main, this, 0, nullptr);
        if (thread == nullptr) break;  // fewer workers: slower, not wrong
        threads_.push_back(thread);
    }
}

Pipeline::~Pipeline() { stop(); }

void Pipeline::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    job_ready_.notify_all();
    for (void* thread : threads_) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    threads_.clear();
    job_done_.notify_all();
}

uint32_t Pipeline::thread_main(void* self) {
    static_cast<Pipeline*>(self)->run();
    return 0;
}

void Pipeline::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        job_ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        Job* job = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        work_(*job);
        lock.lock();
        job->done = true;
        job_done_.notify_all();
    }
}

void Pipeline::submit(std::unique_ptr<Job> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        waiting_.push_back(job.get());
        in_order_.push_back(std::move(job));
    }
    job_ready_.notify_one();
}

size_t Pipeline::outstanding() const {
    std::lock_guard lock(mutex_);
    return in_order_.size();
}

std::unique_ptr<Pipeline::Job> Pipeline::take(bool wait) {
    std::unique_lock lock(mutex_);
    if (in_order_.empty()) return nullptr;
    Job* const oldest = in_order_.front().get();
    if (wait) job_done_.wait(lock, [&] { return oldest->done || stopping_; });
    if (!oldest->done) return nullptr;
    std::unique_ptr<Job> job = std::move(in_order_.front());
    in_order_.pop_front();
    return job;
}

}  // namespace encoder
