// Tag work on a thread of its own with a control of its own, so that the
// rewrite of a large MP3 (seconds) never holds the GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

#include "tag_view.h"
#include "zubmp3/zubencode.h"

namespace zubmp3::gui {

// What a tag task gives back.
struct TagResult {
    Long status = 0;                // the tag method's result
    app::TagV1 v1;                  // filled by reads
    app::TagV2 v2;
    std::optional<QString> failure;  // an automation error, in words
};

class TagWorker final : public QObject {
public:
    using Task = std::function<TagResult(ZUBEncode&)>;
    using Done = std::function<void(const TagResult&)>;

    // `receiver` lives on the calling thread; `done` runs there.
    explicit TagWorker(QObject* receiver);
    ~TagWorker() override;  // lets the task in progress and those queued finish first
    TagWorker(const TagWorker&) = delete;
    TagWorker& operator=(const TagWorker&) = delete;

    // Runs `task` on the worker's thread with its control, in the order
    // given, then `done` with the result on the receiver's thread.
    void run(Task task, Done done);

private:
    QObject* receiver_;
    QThread thread_;
    QObject* context_;                    // lives on `thread_`
    std::unique_ptr<ZUBEncode> control_;  // created and destroyed on `thread_`
};

}  // namespace zubmp3::gui
