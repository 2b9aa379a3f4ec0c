#include "qt_loop_driver.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <climits>

#include "zubmp3/zubencode_widget.h"

namespace zubmp3 {
namespace {

QEvent::Type wake_event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

QtLoopDriver::QtLoopDriver() : loop_(EventLoop::current()) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { run(); });
    // Called from any thread: only queue a wake event for this thread's Qt loop.
    loop_.set_wake_handler([this] {
        if (!wake_posted_.exchange(true)) QCoreApplication::postEvent(this, new QEvent(wake_event_type()));
    });
    schedule();
}

// Removing the handler waits for a call in progress; Qt then drops the wake
// events still queued for this object.
QtLoopDriver::~QtLoopDriver() { loop_.set_wake_handler(nullptr); }

std::shared_ptr<QtLoopDriver> QtLoopDriver::for_current_thread() {
    thread_local std::weak_ptr<QtLoopDriver> current;
    std::shared_ptr<QtLoopDriver> driver = current.lock();
    if (!driver) {
        driver = std::make_shared<QtLoopDriver>();
        current = driver;
    }
    return driver;
}

bool QtLoopDriver::event(QEvent* event) {
    if (event->type() != wake_event_type()) return QObject::event(event);
    wake_posted_ = false;  // a wake from here on queues a new event
    run();
    return true;
}

// A tick may open a nested Qt loop (a modal dialog in an event handler) that
// runs this again; the host loop does not tick a running timer twice.
void QtLoopDriver::run() {
    loop_.process_pending();
    schedule();
}

void QtLoopDriver::schedule() {
    const auto left = loop_.time_until_next_timer();
    if (!left) {
        timer_.stop();
        return;
    }
    timer_.start(static_cast<int>(std::min<std::chrono::milliseconds::rep>(left->count(), INT_MAX)));
}

std::shared_ptr<QtLoopDriver> drive_host_loop_with_qt() { return QtLoopDriver::for_current_thread(); }

}  // namespace zubmp3
