// The files to encode and their jobs, run one after another through the
// control (the engine runs one job per process at a time).
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "zubmp3/zubencode_widget.h"

namespace zubmp3::gui {

// The words and numbers of MP3Encode and SelectProcessPriority.
struct EncodeSettings {
    int bitrate = 128;
    QString mode = QStringLiteral("joint");
    QString quality = QStringLiteral("normal");
    bool vbr = false;
    int vbr_max = 320;
    int priority = 2;  // 1 idle, 2 normal, 3 high
};

struct Job {
    enum class State { Queued, Encoding, Paused, Done, Failed, Cancelled, Skipped };
    QString input;   // host path of the WAV file
    QString output;  // host path of the MP3 file, chosen when the job starts
    State state = State::Queued;
    int percent = 0;
    int error = 0;    // the control's error number (Failed)
    QString message;  // what the row says beside its state, in words
};

QString state_name(Job::State state);

// An automation error in words, with the library file the control looked
// for and where.
QString automation_message(const AutomationError& error);

class JobQueue final : public QObject {
    Q_OBJECT

public:
    // `settings` is asked when each job starts.
    JobQueue(ZUBEncodeWidget& control, std::function<EncodeSettings()> settings, QObject* parent = nullptr);

    void add(const QString& input);
    void set_output_folder(const QString& folder) { output_folder_ = folder; }  // empty: beside each input
    void start();  // encodes every queued file; files added meanwhile join in
    void pause(int index);
    void resume(int index);
    void cancel(int index);  // a queued file is skipped, a running job stopped

    int size() const { return static_cast<int>(jobs_.size()); }
    const Job& job(int index) const { return jobs_.at(static_cast<size_t>(index)); }
    bool running() const { return running_; }

    // The MP3 name for `input` in `folder`: its base name with ".mp3", or
    // "name (2).mp3", "name (3).mp3", ... when that file exists already.
    static QString free_output_name(const QString& input, const QString& folder);

signals:
    void added(int index);
    void changed(int index);
    void log(const QString& line);
    void runningChanged(bool running);

private:
    void start_next();
    void start_job(int index);
    bool begin_encode(Job& job);
    void end_job(int index, Job::State state, int error, const QString& message);
    void on_error_code(int number, const QString& description);
    void on_finished();
    void on_progress(int percent);
    void set_running(bool running);

    ZUBEncodeWidget& control_;
    std::function<EncodeSettings()> settings_;
    std::vector<Job> jobs_;
    QString output_folder_;
    int current_ = -1;         // the job the control runs
    bool running_ = false;     // start() until the queue is empty
    bool starting_ = false;    // inside the control's MP3Encode
    bool refused_ = false;     // MP3Encode reported an error before a job started
    int reported_error_ = 0;   // the last ErrorCode of the current job
    QString reported_message_;
};

}  // namespace zubmp3::gui
