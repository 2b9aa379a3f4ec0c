#include "main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTime>
#include <QVBoxLayout>

#include "job_table.h"
#include "settings_panel.h"
#include "tag_editor.h"

namespace zubmp3::gui {
namespace {

QStringList local_files(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    control_ = new ZUBEncodeWidget;
    control_->setObjectName(QStringLiteral("zubencode"));
    settings_ = new SettingsPanel;
    queue_ = new JobQueue(*control_, [this] { return settings_->settings(); }, this);
    table_ = new JobTable(*queue_);
    tags_ = new TagEditor;
    log_ = new QPlainTextEdit;
    log_->setObjectName(QStringLiteral("log"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(1000);

    auto* upper = new QWidget;
    auto* upper_layout = new QVBoxLayout(upper);
    upper_layout->addWidget(top_row());
    auto* middle = new QHBoxLayout;
    middle->addWidget(settings_);
    middle->addWidget(table_, 1);
    upper_layout->addLayout(middle, 1);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(upper);
    splitter->addWidget(tags_);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    setCentralWidget(splitter);
    create_menus();
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("zubmp3"));
    resize(1100, 760);

    connect(queue_, &JobQueue::log, this, &MainWindow::log);
    connect(tags_, &TagEditor::log, this, &MainWindow::log);
    connect(table_, &JobTable::mp3Selected, tags_, &TagEditor::set_file);
    connect(queue_, &JobQueue::runningChanged, this, [this](bool running) {
        start_->setEnabled(!running);
        statusBar()->showMessage(running ? tr("Encoding…") : tr("Ready"));
    });
    connect(control_, &ZUBEncodeWidget::id3v1GenreList, tags_, &TagEditor::add_genre);
    load_genres();
    statusBar()->showMessage(tr("Ready"));
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::top_row() {
    auto* row = new QWidget;
    auto* add = new QPushButton(tr("Add WAV files…"));
    add->setObjectName(QStringLiteral("addFiles"));
    connect(add, &QPushButton::clicked, this, &MainWindow::choose_wav_files);
    start_ = new QPushButton(tr("Start"));
    start_->setObjectName(QStringLiteral("start"));
    connect(start_, &QPushButton::clicked, queue_, &JobQueue::start);
    output_folder_ = new QLineEdit;
    output_folder_->setObjectName(QStringLiteral("outputFolder"));
    output_folder_->setPlaceholderText(tr("beside each WAV file"));
    connect(output_folder_, &QLineEdit::textChanged, this,
            [this](const QString& folder) { queue_->set_output_folder(folder.trimmed()); });
    auto* browse = new QPushButton(tr("Browse…"));
    connect(browse, &QPushButton::clicked, this, &MainWindow::choose_output_folder);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(add);
    layout->addWidget(start_);
    layout->addSpacing(16);
    layout->addWidget(new QLabel(tr("Output folder:")));
    layout->addWidget(output_folder_, 1);
    layout->addWidget(browse);
    layout->addSpacing(16);
    layout->addWidget(control_);
    return row;
}

void MainWindow::create_menus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Add WAV files…"), QKeySequence::Open, this, &MainWindow::choose_wav_files);
    file->addAction(tr("&Tags of an MP3 file…"), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("MP3 file"), QString(), tr("MP3 files (*.mp3)"));
        if (!path.isEmpty()) tags_->set_file(path);
    });
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About"), control_, &ZUBEncodeWidget::about);
    about->setObjectName(QStringLiteral("aboutAction"));
}

// The genre list comes from the control as 150 ID3v1GenreList events. It also
// loads the engine here, on the GUI thread, before the tag thread needs it.
void MainWindow::load_genres() {
    try {
        control_->control().Generate_ID3v1Genre();
    } catch (const AutomationError& error) {
        log(automation_message(error));
        QMessageBox::critical(this, windowTitle(), automation_message(error));
    }
}

void MainWindow::open_files(const QStringList& paths) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) log(tr("%1: a folder, not a file; skipped").arg(QDir::toNativeSeparators(path)));
        else if (info.suffix().compare(QStringLiteral("mp3"), Qt::CaseInsensitive) == 0) tags_->set_file(path);
        else queue_->add(path);
    }
}

void MainWindow::choose_wav_files() {
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("WAV files to encode"), QString(),
                                                            tr("WAV files (*.wav *.WAV);;All files (*)"));
    open_files(paths);
}

void MainWindow::choose_output_folder() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Output folder"), output_folder_->text());
    if (!folder.isEmpty()) output_folder_->setText(folder);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!local_files(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = local_files(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    open_files(files);
}

// Leaving stops the running job (its MP3 keeps the part encoded) and skips the
// queued ones: ask first.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (queue_->running()) {
        const auto answer = QMessageBox::question(
            this, windowTitle(), tr("Files are still being encoded. Stop the encoding and quit?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) return event->ignore();
    }
    event->accept();
}

void MainWindow::log(const QString& line) {
    log_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + line);
}

}  // namespace zubmp3::gui
