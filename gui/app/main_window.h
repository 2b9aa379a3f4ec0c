// zubmp3-gui's window: WAV files to encode (chosen or dropped), the encoding
// options, a row per file with its progress, the tag editor, a log, and the
// control itself on the form.
#pragma once

#include <QMainWindow>

#include "job_queue.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zubmp3::gui {

class JobTable;
class SettingsPanel;
class TagEditor;

class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // WAV files join the queue; MP3 files go to the tag editor.
    void open_files(const QStringList& paths);

    ZUBEncodeWidget& control() { return *control_; }
    JobQueue& queue() { return *queue_; }
    TagEditor& tags() { return *tags_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* top_row();
    void create_menus();
    void choose_wav_files();
    void choose_output_folder();
    void log(const QString& line);
    void load_genres();

    ZUBEncodeWidget* control_;
    SettingsPanel* settings_;
    JobQueue* queue_;
    JobTable* table_;
    TagEditor* tags_;
    QLineEdit* output_folder_;
    QPushButton* start_;
    QPlainTextEdit* log_;
};

}  // namespace zubmp3::gui
