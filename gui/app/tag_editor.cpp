#include "tag_editor.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "control_text.h"
#include "zubmp3/engine_results.h"

namespace zubmp3::gui {
namespace {

constexpr int kNoGenre = 255;  // the ID3v1 genre byte that other readers take as none
constexpr int kV1Field = 30;
constexpr int kV1CommentWithTrack = 28;

// What a tag method did, in words: the tag, the verb for 0, and the
// command whose results are described.
struct Meanings {
    const char* what;  // "ID3v1 tag"
    const char* done;
    TagCommand command;
};
const Meanings kV1Read{"ID3v1 tag", "read", TagCommand::read_v1};
const Meanings kV1Write{"ID3v1 tag", "written", TagCommand::write_v1};
const Meanings kV1Remove{"ID3v1 tag", "removed", TagCommand::remove_v1};
const Meanings kV2Read{"ID3v2 tag", "read", TagCommand::read_v2};
const Meanings kV2Write{"ID3v2 tag", "written", TagCommand::write_v2};
const Meanings kV2Remove{"ID3v2 tag", "removed", TagCommand::remove_v2};

QString words(const Meanings& meanings, Long result) {
    if (result == 0) return QStringLiteral("%1 %2").arg(meanings.what, meanings.done);
    const QString described = QString::fromLatin1(tag_result_description(meanings.command, result));
    const QString why = described.isEmpty() ? QStringLiteral("unexpected result") : described;
    return QStringLiteral("%1 not %2: %3 (result %4)").arg(meanings.what, meanings.done, why).arg(result);
}

Text text(const QString& string) { return app::to_text(string.toStdString()); }
QString qstring(const std::string& utf8) { return QString::fromStdString(utf8); }

bool fits_latin1(const QString& string) {
    for (const QChar c : string)
        if (c.unicode() > 0xFF) return false;
    return true;
}

QPushButton* button(const QString& name, const QString& label) {
    auto* b = new QPushButton(label);
    b->setObjectName(name);
    return b;
}

QLineEdit* line_edit(const QString& name, int max_length) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    if (max_length > 0) edit->setMaxLength(max_length);
    return edit;
}

}  // namespace

TagEditor::TagEditor(QWidget* parent) : QGroupBox(tr("Tags of the selected MP3"), parent), worker_(this) {
    setObjectName(QStringLiteral("tagEditor"));
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("tagStatus"));
    status_->setWordWrap(true);
    auto* tags = new QHBoxLayout;
    tags->addWidget(v1_group());
    tags->addWidget(v2_group(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_row());
    layout->addLayout(tags);
    layout->addWidget(status_);
}

QWidget* TagEditor::file_row() {
    auto* row = new QWidget;
    file_ = line_edit(QStringLiteral("tagFile"), 0);
    file_->setPlaceholderText(tr("Select a finished file above, drop an MP3 here, or browse"));
    connect(file_, &QLineEdit::returnPressed, this, &TagEditor::read_tags);
    auto* browse = button(QStringLiteral("browseMp3"), tr("Browse…"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("MP3 file"), QFileInfo(file()).absolutePath(),
                                                          tr("MP3 files (*.mp3);;All files (*)"));
        if (!path.isEmpty()) set_file(path);
    });
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("File:")));
    layout->addWidget(file_, 1);
    layout->addWidget(browse);
    return row;
}

QWidget* TagEditor::v1_group() {
    auto* group = new QGroupBox(tr("ID3v1"));
    auto* form = new QFormLayout;
    for (size_t i = 0; i < v1_texts_.size(); ++i) {
        const auto& field = app::kTagV1Texts[i];
        v1_texts_[i] = line_edit(QStringLiteral("v1_") + field.key, field.max_bytes);
        form->addRow(tr(field.label) + ':', v1_texts_[i]);
    }
    v1_track_ = new QSpinBox;
    v1_track_->setObjectName(QStringLiteral("v1_track"));
    v1_track_->setRange(0, 255);
    v1_track_->setSpecialValueText(tr("none"));
    // A track number takes the last two bytes of the comment.
    connect(v1_track_, &QSpinBox::valueChanged, this,
            [this](int track) { v1_texts_[4]->setMaxLength(track != 0 ? kV1CommentWithTrack : kV1Field); });
    v1_genre_ = new QComboBox;
    v1_genre_->setObjectName(QStringLiteral("v1_genre"));
    form->addRow(tr("Track:"), v1_track_);
    form->addRow(tr("Genre:"), v1_genre_);

    auto* buttons = new QHBoxLayout;
    for (auto [name, label, slot] : {std::tuple{"readV1", "Read", &TagEditor::read_v1},
                                     std::tuple{"writeV1", "Write", &TagEditor::write_v1},
                                     std::tuple{"removeV1", "Remove", &TagEditor::remove_v1}}) {
        buttons_ << button(QString::fromLatin1(name), tr(label));
        connect(buttons_.back(), &QPushButton::clicked, this, slot);
        buttons->addWidget(buttons_.back());
    }
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(form);
    layout->addLayout(buttons);
    return group;
}

QWidget* TagEditor::v2_group() {
    auto* group = new QGroupBox(tr("ID3v2"));
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < v2_texts_.size(); ++i) {
        const auto& field = app::kTagV2Texts[i];
        v2_texts_[i] = line_edit(QStringLiteral("v2_") + field.key, 0);
        const int row = static_cast<int>(i % 6), column = static_cast<int>(i / 6) * 2;
        grid->addWidget(new QLabel(tr(field.label) + ':'), row, column);
        grid->addWidget(v2_texts_[i], row, column + 1);
    }
    auto* buttons = new QHBoxLayout;
    for (auto [name, label, slot] : {std::tuple{"readV2", "Read", &TagEditor::read_v2},
                                     std::tuple{"writeV2", "Write", &TagEditor::write_v2},
                                     std::tuple{"removeV2", "Remove", &TagEditor::remove_v2}}) {
        buttons_ << button(QString::fromLatin1(name), tr(label));
        connect(buttons_.back(), &QPushButton::clicked, this, slot);
        buttons->addWidget(buttons_.back());
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    return group;
}

void TagEditor::set_file(const QString& path) {
    file_->setText(QFileInfo(path).absoluteFilePath());
    read_tags();
}

QString TagEditor::file() const { return file_->text().trimmed(); }

void TagEditor::add_genre(bool clear, const QString& genre) {
    if (clear) {
        v1_genre_->clear();
        v1_genre_->addItem(tr("(no genre)"), kNoGenre);
        return;
    }
    const int number = v1_genre_->count() - 1;  // the list comes in genre-number order
    const QString name = genre.trimmed();
    v1_genre_->addItem(name.isEmpty() ? tr("(unknown)") : name, number);
}

void TagEditor::set_genre(int genre) {
    int index = v1_genre_->findData(genre);
    if (index < 0) {
        v1_genre_->addItem(tr("genre %1").arg(genre), genre);
        index = v1_genre_->count() - 1;
    }
    v1_genre_->setCurrentIndex(index);
}

void TagEditor::read_tags() {
    read_v1();
    read_v2();
}

void TagEditor::read_v1() {
    submit(
        [](ZUBEncode& control, const Text& path) {
            TagResult result;
            Text title, artist, album, year, comment;
            app::TagV1& tag = result.v1;
            result.status = control.Read_ID3_v1_tag(path, tag.track, title, artist, album, year, tag.genre, comment);
            tag.result = result.status;
            for (auto [from, to] : {std::pair{&title, &tag.title}, {&artist, &tag.artist}, {&album, &tag.album},
                                    {&year, &tag.year}, {&comment, &tag.comment}})
                *to = app::to_utf8(*from);
            return result;
        },
        [this](const TagResult& result) {
            // A file without the tag shows empty fields, ready for a new one.
            show_v1(result.status == 0 ? result.v1 : app::TagV1{});
            return words(kV1Read, result.status);
        });
}

void TagEditor::read_v2() {
    submit(
        [](ZUBEncode& control, const Text& path) {
            TagResult result;
            std::array<Text, 12> t;  // in the order of the method's parameters
            result.status = control.Read_ID3_v2_tag(path, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9],
                                                    t[10], t[11]);
            app::TagV2& tag = result.v2;
            std::string* fields[] = {&tag.track,   &tag.title,     &tag.artist, &tag.album,
                                     &tag.year,    &tag.genre,     &tag.comment, &tag.encoded_by,
                                     &tag.url,     &tag.copyright, &tag.original_artist, &tag.composer};
            for (size_t i = 0; i < t.size(); ++i) *fields[i] = app::to_utf8(t[i]);
            return result;
        },
        [this](const TagResult& result) {
            show_v2(result.status == 0 ? result.v2 : app::TagV2{});
            return words(kV2Read, result.status);
        });
}

void TagEditor::write_v1() {
    std::array<Text, 5> values;
    bool latin1 = true;
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = text(v1_texts_[i]->text());
        latin1 = latin1 && fits_latin1(v1_texts_[i]->text());
    }
    const Long track = v1_track_->value(), genre = v1_genre_->currentData().toInt();
    submit(
        [values, track, genre](ZUBEncode& control, const Text& path) {
            TagResult result;
            result.status = control.Write_ID3_v1_tag(path, track, values[0], values[1], values[2], values[3], genre,
                                                     values[4]);
            return result;
        },
        [latin1](const TagResult& result) {
            const QString note = latin1 ? QString() : QStringLiteral(" (characters outside Latin-1 stored as ?)");
            return words(kV1Write, result.status) + (result.status == 0 ? note : QString());
        });
}

void TagEditor::write_v2() {
    // The method's parameter order: Track, Title, Artist, Album, Year, Genre,
    // Comment, EncodedBy, URL, Copyright, OriginalArtist, Composer.
    app::TagV2 tag;
    bool latin1 = true;
    for (size_t i = 0; i < v2_texts_.size(); ++i) {
        tag.*app::kTagV2Texts[i].member = v2_texts_[i]->text().toStdString();
        latin1 = latin1 && fits_latin1(v2_texts_[i]->text());
    }
    submit(
        [tag](ZUBEncode& control, const Text& path) {
            using app::to_text;
            TagResult result;
            result.status = control.Write_ID3_v2_tag(
                path, to_text(tag.track), to_text(tag.title), to_text(tag.artist), to_text(tag.album),
                to_text(tag.year), to_text(tag.genre), to_text(tag.comment), to_text(tag.encoded_by),
                to_text(tag.url), to_text(tag.copyright), to_text(tag.original_artist), to_text(tag.composer));
            return result;
        },
        [latin1](const TagResult& result) {
            const QString note = latin1 ? QString() : QStringLiteral(" (characters outside Latin-1 stored as ?)");
            return words(kV2Write, result.status) + (result.status == 0 ? note : QString());
        });
}

void TagEditor::remove_v1() {
    submit([](ZUBEncode& control, const Text& path) { return TagResult{control.Remove_ID3V1_tag(path), {}, {}, {}}; },
           [this](const TagResult& result) {
               if (result.status == 0) show_v1({});
               return words(kV1Remove, result.status);
           });
}

void TagEditor::remove_v2() {
    submit([](ZUBEncode& control, const Text& path) { return TagResult{control.Remove_ID3V2_tag(path), {}, {}, {}}; },
           [this](const TagResult& result) {
               if (result.status == 0) show_v2({});
               return words(kV2Remove, result.status);
           });
}

void TagEditor::show_v1(const app::TagV1& tag) {
    for (size_t i = 0; i < v1_texts_.size(); ++i) v1_texts_[i]->setText(qstring(tag.*app::kTagV1Texts[i].member));
    v1_track_->setValue(tag.track);
    set_genre(tag.result == 0 ? tag.genre : kNoGenre);
}

void TagEditor::show_v2(const app::TagV2& tag) {
    for (size_t i = 0; i < v2_texts_.size(); ++i) v2_texts_[i]->setText(qstring(tag.*app::kTagV2Texts[i].member));
}

void TagEditor::submit(Task task, std::function<QString(const TagResult&)> describe) {
    const QString path = file();
    if (path.isEmpty()) return report(tr("Choose an MP3 file first."));
    Text control_path;
    try {
        control_path = app::control_path(path.toStdString());
    } catch (const app::UsageError& error) {
        return report(QString::fromStdString(error.what()));
    }
    ++pending_;
    for (QPushButton* b : buttons_) b->setEnabled(false);
    status_->setText(tr("Working on %1…").arg(QFileInfo(path).fileName()));
    auto on_worker = [task = std::move(task), control_path](ZUBEncode& control) { return task(control, control_path); };
    worker_.run(std::move(on_worker), [this, path, describe = std::move(describe)](const TagResult& result) {
        const QString name = QFileInfo(path).fileName();
        report(result.failure ? QStringLiteral("%1: %2").arg(name, *result.failure)
                              : QStringLiteral("%1: %2").arg(name, describe(result)));
        if (--pending_ > 0) return;
        for (QPushButton* b : buttons_) b->setEnabled(true);
        emit idle();
    });
}

void TagEditor::report(const QString& line) {
    status_->setText(line);
    emit log(line);
}

}  // namespace zubmp3::gui
