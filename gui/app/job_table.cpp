#include "job_table.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

namespace zubmp3::gui {
namespace {

QToolButton* tool_button(const QString& name, const QString& text) {
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(text);
    button->setEnabled(false);
    return button;
}

QString status_text(const Job& job) {
    const QString state = state_name(job.state);
    if (job.message.isEmpty()) return state;
    if (job.error != 0) return QStringLiteral("%1: %2 (error %3)").arg(state, job.message).arg(job.error);
    return QStringLiteral("%1: %2").arg(state, job.message);
}

}  // namespace

JobTable::JobTable(JobQueue& queue, QWidget* parent) : QTableWidget(0, kColumns, parent), queue_(queue) {
    setObjectName(QStringLiteral("jobTable"));
    setHorizontalHeaderLabels({tr("File"), tr("Progress"), tr("Status"), QString()});
    horizontalHeader()->setSectionResizeMode(kFile, QHeaderView::Interactive);
    horizontalHeader()->setSectionResizeMode(kStatus, QHeaderView::Stretch);
    setColumnWidth(kFile, 220);
    setColumnWidth(kProgress, 160);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    connect(&queue_, &JobQueue::added, this, &JobTable::add_row);
    connect(&queue_, &JobQueue::changed, this, &JobTable::update_row);
    connect(this, &QTableWidget::itemSelectionChanged, this, &JobTable::on_selection);
}

void JobTable::add_row(int index) {
    insertRow(index);
    const Job& job = queue_.job(index);
    auto* file = new QTableWidgetItem(QFileInfo(job.input).fileName());
    file->setToolTip(QDir::toNativeSeparators(job.input));
    setItem(index, kFile, file);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    setCellWidget(index, kProgress, bar);
    setItem(index, kStatus, new QTableWidgetItem);
    setCellWidget(index, kActions, action_buttons(index));
    update_row(index);
}

QWidget* JobTable::action_buttons(int index) {
    auto* box = new QWidget;
    auto* pause = tool_button(QStringLiteral("pauseButton"), tr("Resume"));
    pause->setMinimumWidth(pause->sizeHint().width());  // room for the longer of its two captions
    auto* cancel = tool_button(QStringLiteral("cancelButton"), tr("Cancel"));
    connect(pause, &QToolButton::clicked, this, [this, index] {
        if (queue_.job(index).state == Job::State::Paused) queue_.resume(index);
        else queue_.pause(index);
    });
    connect(cancel, &QToolButton::clicked, this, [this, index] { queue_.cancel(index); });
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->addWidget(pause);
    layout->addWidget(cancel);
    setColumnWidth(kActions, std::max(columnWidth(kActions), box->sizeHint().width()));
    return box;
}

void JobTable::update_row(int index) {
    const Job& job = queue_.job(index);
    static_cast<QProgressBar*>(cellWidget(index, kProgress))->setValue(job.percent);
    QTableWidgetItem* status = item(index, kStatus);
    status->setText(status_text(job));
    status->setToolTip(job.output.isEmpty() ? QString() : QDir::toNativeSeparators(job.output));

    const bool active = job.state == Job::State::Encoding || job.state == Job::State::Paused;
    QWidget* actions = cellWidget(index, kActions);
    auto* pause = actions->findChild<QToolButton*>(QStringLiteral("pauseButton"));
    pause->setEnabled(active);
    pause->setText(job.state == Job::State::Paused ? tr("Resume") : tr("Pause"));
    actions->findChild<QToolButton*>(QStringLiteral("cancelButton"))
        ->setEnabled(active || job.state == Job::State::Queued);
    if (index == currentRow()) on_selection();
}

void JobTable::on_selection() {
    const int index = currentRow();
    if (index < 0 || index >= queue_.size()) return;
    const Job& job = queue_.job(index);
    const bool written = job.state == Job::State::Done || job.state == Job::State::Cancelled;
    if (written && QFileInfo::exists(job.output)) emit mp3Selected(job.output);
}

}  // namespace zubmp3::gui
