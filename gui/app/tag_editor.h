// The tag editor of the selected MP3: ID3v1 (the genre list from the
// control) and ID3v2's twelve fields, each with read, write and remove. The
// work runs on the tag worker's thread; the editor waits for it without
// holding the GUI thread.
#pragma once

#include <QGroupBox>
#include <array>

#include "tag_worker.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zubmp3::gui {

class TagEditor final : public QGroupBox {
    Q_OBJECT

public:
    explicit TagEditor(QWidget* parent = nullptr);

    void set_file(const QString& path);  // and reads both tags
    QString file() const;
    bool busy() const { return pending_ > 0; }

    // The genre list, as the control's ID3v1GenreList event gives it.
    void add_genre(bool clear, const QString& genre);

signals:
    void log(const QString& line);
    void idle();  // every requested tag task has finished

private:
    QWidget* v1_group();
    QWidget* v2_group();
    QWidget* file_row();

    void read_tags();  // both
    void read_v1();
    void read_v2();
    void write_v1();
    void remove_v1();
    void write_v2();
    void remove_v2();
    void show_v1(const app::TagV1& tag);
    void show_v2(const app::TagV2& tag);
    void set_genre(int genre);

    // A tag task for the file in the editor, given in the control's form.
    using Task = std::function<TagResult(ZUBEncode&, const Text& path)>;
    // Queues `task`; `describe` turns its result into words (on the GUI thread).
    void submit(Task task, std::function<QString(const TagResult&)> describe);
    void report(const QString& text);

    QLineEdit* file_;
    std::array<QLineEdit*, 5> v1_texts_{};   // in the order of app::kTagV1Texts
    QSpinBox* v1_track_ = nullptr;
    QComboBox* v1_genre_ = nullptr;
    std::array<QLineEdit*, 12> v2_texts_{};  // in the order of app::kTagV2Texts
    QLabel* status_;
    QList<QPushButton*> buttons_;
    int pending_ = 0;
    TagWorker worker_;
};

}  // namespace zubmp3::gui
