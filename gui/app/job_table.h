// One row per file: its name, a progress bar, its state in words, and pause,
// resume and cancel buttons.
#pragma once

#include <QTableWidget>

#include "job_queue.h"

namespace zubmp3::gui {

class JobTable final : public QTableWidget {
    Q_OBJECT

public:
    enum Column { kFile, kProgress, kStatus, kActions, kColumns };

    explicit JobTable(JobQueue& queue, QWidget* parent = nullptr);

signals:
    // A finished MP3 was selected (for the tag editor).
    void mp3Selected(const QString& path);

private:
    void add_row(int index);
    void update_row(int index);
    QWidget* action_buttons(int index);
    void on_selection();

    JobQueue& queue_;
};

}  // namespace zubmp3::gui
