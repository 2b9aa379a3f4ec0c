#include "tag_worker.h"

namespace zubmp3::gui {

TagWorker::TagWorker(QObject* receiver) : receiver_(receiver), context_(new QObject) {
    thread_.setObjectName(QStringLiteral("zubmp3 tags"));
    context_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start();
}

// The control belongs to the worker's thread (its host loop is that thread's),
// so it is destroyed there, after every task queued before.
TagWorker::~TagWorker() {
    QMetaObject::invokeMethod(context_, [this] {
        control_.reset();
        thread_.quit();
    });
    thread_.wait();
}

void TagWorker::run(Task task, Done done) {
    QMetaObject::invokeMethod(context_, [this, task = std::move(task), done = std::move(done)] {
        TagResult result;
        try {
            if (!control_) control_ = std::make_unique<ZUBEncode>();
            result = task(*control_);
        } catch (const AutomationError& error) {
            const Text& text = error.description();
            result.failure = QStringLiteral("automation error %1: %2")
                                 .arg(error.number())
                                 .arg(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
        }
        QMetaObject::invokeMethod(receiver_, [done, result] { done(result); });
    });
}

}  // namespace zubmp3::gui
