#include "job_queue.h"

#include <QDir>
#include <QFileInfo>

#include "control_text.h"
#include "library_hint.h"

namespace zubmp3::gui {
namespace {

constexpr int kUserAbort = 112;
constexpr int kMaxNameTries = 1000;

Text text(const QString& string) { return Text(reinterpret_cast<const char16_t*>(string.utf16()), string.size()); }

QString message_of(const QString& description) { return description.trimmed(); }

}  // namespace

QString automation_message(const AutomationError& error) {
    const Text& description = error.description();
    QString message = QStringLiteral("automation error %1: %2")
        .arg(error.number())
        .arg(QString::fromUtf16(description.data(), static_cast<qsizetype>(description.size())));
    // Which library file the control looked for, and where.
    if (const auto hint = app::library_hint(error.number()))
        message += QStringLiteral(" (%1)").arg(QString::fromStdString(*hint));
    return message;
}

QString state_name(Job::State state) {
    switch (state) {
        case Job::State::Queued: return QStringLiteral("Queued");
        case Job::State::Encoding: return QStringLiteral("Encoding");
        case Job::State::Paused: return QStringLiteral("Paused");
        case Job::State::Done: return QStringLiteral("Done");
        case Job::State::Failed: return QStringLiteral("Failed");
        case Job::State::Cancelled: return QStringLiteral("Cancelled");
        case Job::State::Skipped: return QStringLiteral("Skipped");
    }
    return {};
}

JobQueue::JobQueue(ZUBEncodeWidget& control, std::function<EncodeSettings()> settings, QObject* parent)
    : QObject(parent), control_(control), settings_(std::move(settings)) {
    connect(&control_, &ZUBEncodeWidget::errorCode, this, &JobQueue::on_error_code);
    connect(&control_, &ZUBEncodeWidget::finished, this, &JobQueue::on_finished);
    connect(&control_, &ZUBEncodeWidget::progress, this, &JobQueue::on_progress);
}

void JobQueue::add(const QString& input) {
    Job job;
    job.input = QFileInfo(input).absoluteFilePath();
    jobs_.push_back(job);
    emit added(size() - 1);
    if (running_ && current_ < 0) start_next();
}

void JobQueue::start() {
    if (running_) return;
    set_running(true);
    start_next();
}

void JobQueue::pause(int index) {
    if (index != current_ || jobs_[index].state != Job::State::Encoding) return;
    control_.control().MP3EncodePause();
    jobs_[index].state = Job::State::Paused;
    emit changed(index);
}

void JobQueue::resume(int index) {
    if (index != current_ || jobs_[index].state != Job::State::Paused) return;
    control_.control().MP3EncodeResume();
    jobs_[index].state = Job::State::Encoding;
    emit changed(index);
}

// Stopping a job holds this thread only until the engine's worker notices
// (it checks between blocks of samples, and every 50 ms while paused) and has
// closed the MP3; the poll then reports "User abort".
void JobQueue::cancel(int index) {
    Job& job = jobs_.at(static_cast<size_t>(index));
    if (job.state == Job::State::Queued) return end_job(index, Job::State::Skipped, 0, QStringLiteral("not encoded"));
    if (index != current_) return;
    control_.control().MP3EncodeCancel();
    job.message = QStringLiteral("stopping");
    emit changed(index);
}

QString JobQueue::free_output_name(const QString& input, const QString& folder) {
    const QFileInfo info(input);
    const QDir dir(folder.isEmpty() ? info.absolutePath() : folder);
    const QString base = info.completeBaseName();
    QString candidate = dir.filePath(base + QStringLiteral(".mp3"));
    for (int n = 2; QFileInfo::exists(candidate) && n < kMaxNameTries; ++n)
        candidate = dir.filePath(QStringLiteral("%1 (%2).mp3").arg(base).arg(n));
    return candidate;
}

void JobQueue::start_next() {
    if (!running_ || current_ >= 0) return;
    for (int index = 0; index < size(); ++index)
        if (jobs_[index].state == Job::State::Queued) return start_job(index);
    set_running(false);
}

void JobQueue::start_job(int index) {
    Job& job = jobs_[index];
    job.output = free_output_name(job.input, output_folder_);
    current_ = index;
    job.state = Job::State::Encoding;
    job.percent = 0;
    job.message.clear();
    emit changed(index);
    emit log(QStringLiteral("%1: encoding to %2").arg(job.input, job.output));
    if (!begin_encode(job)) return;
    if (refused_) return end_job(index, Job::State::Failed, reported_error_, reported_message_);
}

// Starts the job through the control; false when it could not even be asked
// (then the job has ended and the queue moved on or stopped).
bool JobQueue::begin_encode(Job& job) {
    const int index = current_;
    const EncodeSettings settings = settings_();
    refused_ = false;
    starting_ = true;
    try {
        const Text input = app::control_path(job.input.toStdString());
        const Text output = app::control_path(job.output.toStdString());
        control_.control().SelectProcessPriority(settings.priority);
        if (!refused_)
            control_.control().MP3Encode(input, output, settings.bitrate, text(settings.mode), text(settings.quality),
                                         settings.vbr ? 1 : 0, settings.vbr_max);
    } catch (const app::UsageError& error) {
        starting_ = false;
        end_job(index, Job::State::Failed, 0, QString::fromStdString(error.what()));
        return false;
    } catch (const AutomationError& error) {
        // The libraries beside the control are missing: no other job can start.
        starting_ = false;
        set_running(false);
        end_job(index, Job::State::Failed, error.number(), automation_message(error));
        return false;
    }
    starting_ = false;
    return true;
}

void JobQueue::end_job(int index, Job::State state, int error, const QString& message) {
    Job& job = jobs_[index];
    job.state = state;
    job.error = error;
    job.message = message;
    if (state == Job::State::Done) job.percent = 100;
    if (index == current_) current_ = -1;
    emit changed(index);
    const QString number = error != 0 ? QStringLiteral(" (error %1)").arg(error) : QString();
    emit log(QStringLiteral("%1: %2%3%4")
                 .arg(job.input, state_name(state).toLower(), message.isEmpty() ? QString() : ": " + message, number));
    // The next job starts once the control has finished raising this one's events.
    if (running_) QMetaObject::invokeMethod(this, &JobQueue::start_next, Qt::QueuedConnection);
}

void JobQueue::on_error_code(int number, const QString& description) {
    if (starting_) refused_ = number != 0;
    reported_error_ = number;
    reported_message_ = message_of(description);
}

void JobQueue::on_finished() {
    if (current_ < 0) return;
    if (reported_error_ == 0) return end_job(current_, Job::State::Done, 0, QString());
    if (reported_error_ == kUserAbort)
        return end_job(current_, Job::State::Cancelled, 0, QStringLiteral("the MP3 holds the part encoded"));
    end_job(current_, Job::State::Failed, reported_error_, reported_message_);
}

// The control closes every job with Progress 100; by then the job has ended.
void JobQueue::on_progress(int percent) {
    if (current_ < 0) return;
    jobs_[current_].percent = percent;
    emit changed(current_);
}

void JobQueue::set_running(bool running) {
    if (running == running_) return;
    running_ = running;
    emit runningChanged(running);
}

}  // namespace zubmp3::gui
