// Drives the host EventLoop of one thread from that thread's Qt event loop.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

#include "zubmp3/host.h"

namespace zubmp3 {

class QtLoopDriver final : public QObject {
public:
    QtLoopDriver();
    ~QtLoopDriver() override;
    QtLoopDriver(const QtLoopDriver&) = delete;
    QtLoopDriver& operator=(const QtLoopDriver&) = delete;

    // The driver of the calling thread, shared by whatever needs it there.
    static std::shared_ptr<QtLoopDriver> for_current_thread();

protected:
    bool event(QEvent* event) override;

private:
    void run();       // due timers and posted work, then the next wake-up
    void schedule();  // arms the Qt timer for the host loop's next due timer

    EventLoop& loop_;
    QTimer timer_;
    std::atomic<bool> wake_posted_{false};  // one wake event in Qt's queue at a time
};

}  // namespace zubmp3
