// zubmp3-gui driven in a real window: two dropped WAV files encoded one after
// the other (the first paused and resumed, the second cancelled), both tags
// written, read back and removed, an error shown with its file, and the About
// box opened and closed. ffmpeg and mutagen check what the application wrote.
#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "gui_test_support.h"
#include "job_table.h"
#include "main_window.h"
#include "tag_editor.h"

using zubmp3::gui::Job;
using zubmp3::gui::JobQueue;
using zubmp3::gui::JobTable;
using zubmp3::gui::MainWindow;

namespace {

constexpr int kJobTimeout = 120000;  // ms; the machine may be busy
constexpr int kRate = 44100;

// Records the addresses the About box hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QStringList opened;

public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // One encoder thread: the segmented encoder reads up to a dozen
        // seconds ahead, so a 30-second file could be read whole, and past
        // pausing, before the first progress shows.
        qputenv("ZUBMP3_ENCODER_THREADS", "1");
        QVERIFY(dir_.isValid());
        QVERIFY(gui_testing::write_demo_wav(wav(1), 30));
        QVERIFY(gui_testing::write_demo_wav(wav(2), 60));
        window_ = std::make_unique<MainWindow>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        table_ = window_->findChild<JobTable*>(QStringLiteral("jobTable"));
        QVERIFY(table_ != nullptr);
    }

    void cleanupTestCase() { window_.reset(); }

    void encodesWithPauseAndResumeThenCancelsAnother() {
        drop({wav(1), wav(2)});
        QCOMPARE(table_->rowCount(), 2);
        QCOMPARE(status(0), QStringLiteral("Queued"));
        choose(QStringLiteral("bitrate"), 192);
        choose(QStringLiteral("quality"), QStringLiteral("high"));
        click(QStringLiteral("start"));

        // Paused as soon as it shows progress: it then holds still.
        QTRY_VERIFY_WITH_TIMEOUT(progress(0) > 0, kJobTimeout);
        QTest::mouseClick(row_button(0, "pauseButton"), Qt::LeftButton);
        QCOMPARE(status(0), QStringLiteral("Paused"));
        QCOMPARE(row_button(0, "pauseButton")->text(), QStringLiteral("Resume"));
        QVERIFY(gui_testing::save_screenshot(window_.get(), QStringLiteral("main-window")));
        // The job stops at its next block, once the encoder has handed back
        // the segments it holds: wait until the file stands still; from then
        // on nothing moves.
        qint64 size = QFileInfo(mp3(1)).size();
        for (int look = 0; look < 40; ++look) {
            QTest::qWait(500);
            const qint64 now = QFileInfo(mp3(1)).size();
            if (now == size) break;
            size = now;
        }
        const int held = progress(0);
        QTest::qWait(1000);  // four polls of the control
        QCOMPARE(progress(0), held);
        QCOMPARE(QFileInfo(mp3(1)).size(), size);
        QCOMPARE(status(0), QStringLiteral("Paused"));

        QTest::mouseClick(row_button(0, "pauseButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status(0), QStringLiteral("Done"), kJobTimeout);
        QCOMPARE(progress(0), 100);

        // The next file starts by itself; cancelled, it keeps what was encoded.
        QTRY_VERIFY_WITH_TIMEOUT(progress(1) > 0, kJobTimeout);
        QTest::mouseClick(row_button(1, "cancelButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(status(1).startsWith(QStringLiteral("Cancelled")), kJobTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->queue().running(), kJobTimeout);  // after the queued look for a next file

        QCOMPARE(gui_testing::decoded_frames(mp3(1)), qint64(30 * kRate));  // every sample, paused or not
        const QJsonObject whole = gui_testing::mutagen_view(mp3(1));
        QCOMPARE(whole.value(QStringLiteral("bitrate")).toInt(), 192000);
        const qint64 partial = gui_testing::decoded_frames(mp3(2));
        QVERIFY2(partial > 0 && partial < 60 * kRate, qPrintable(QString::number(partial)));
    }

    void writesReadsAndRemovesBothTags() {
        table_->selectRow(0);  // the finished MP3 goes to the tag editor, which reads it
        auto* editor = window_->findChild<zubmp3::gui::TagEditor*>(QStringLiteral("tagEditor"));
        QCOMPARE(QFileInfo(editor->file()), QFileInfo(mp3(1)));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);

        const QStringList v1 = {"Chords", "zubmp3", "Generated", "2024", "Qt test"};
        const QStringList v1_names = {"v1_title", "v1_artist", "v1_album", "v1_year", "v1_comment"};
        for (int i = 0; i < v1.size(); ++i) type(v1_names[i], v1[i]);
        window_->findChild<QSpinBox*>(QStringLiteral("v1_track"))->setValue(7);
        auto* genre = window_->findChild<QComboBox*>(QStringLiteral("v1_genre"));
        genre->setCurrentIndex(genre->findText(QStringLiteral("Electronic")));
        click(QStringLiteral("writeV1"));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        QVERIFY2(tag_status().endsWith(QStringLiteral("ID3v1 tag written")), qPrintable(tag_status()));

        const QStringList v2_names = {"v2_title", "v2_artist", "v2_album", "v2_year", "v2_genre", "v2_comment",
                                      "v2_track", "v2_encoded_by", "v2_url", "v2_copyright", "v2_original_artist",
                                      "v2_composer"};
        QStringList v2;
        for (const QString& name : v2_names) v2 << QStringLiteral("Café ") + name.mid(3);
        for (int i = 0; i < v2.size(); ++i) window_->findChild<QLineEdit*>(v2_names[i])->setText(v2[i]);
        click(QStringLiteral("writeV2"));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        QVERIFY2(tag_status().endsWith(QStringLiteral("ID3v2 tag written")), qPrintable(tag_status()));

        // Read back into emptied fields.
        for (const QString& name : v1_names + v2_names) window_->findChild<QLineEdit*>(name)->clear();
        // The buttons wait while the tag thread works.
        click(QStringLiteral("readV1"));
        QVERIFY(!window_->findChild<QPushButton*>(QStringLiteral("readV2"))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        click(QStringLiteral("readV2"));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        for (int i = 0; i < v1.size(); ++i) QCOMPARE(text(v1_names[i]), v1[i]);
        for (int i = 0; i < v2.size(); ++i) QCOMPARE(text(v2_names[i]), v2[i]);
        QCOMPARE(window_->findChild<QSpinBox*>(QStringLiteral("v1_track"))->value(), 7);
        QCOMPARE(genre->currentText(), QStringLiteral("Electronic"));

        const QJsonObject tags = gui_testing::mutagen_view(mp3(1));
        const QJsonObject frames = tags.value(QStringLiteral("v2")).toObject();
        QCOMPARE(frames.value(QStringLiteral("TIT2")).toString(), QStringLiteral("Café title"));
        QCOMPARE(frames.value(QStringLiteral("TCOM")).toString(), QStringLiteral("Café composer"));
        const QJsonObject record = tags.value(QStringLiteral("v1")).toObject();
        QCOMPARE(record.value(QStringLiteral("TIT2")).toString(), QStringLiteral("Chords"));
        QCOMPARE(record.value(QStringLiteral("TRCK")).toString(), QStringLiteral("7"));
        QCOMPARE(record.value(QStringLiteral("TCON")).toString(), QStringLiteral("52"));  // Electronic
        QCOMPARE(gui_testing::decoded_frames(mp3(1)), qint64(30 * kRate));  // the audio is untouched

        click(QStringLiteral("removeV1"));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        click(QStringLiteral("removeV2"));
        QTRY_VERIFY_WITH_TIMEOUT(!editor->busy(), kJobTimeout);
        QVERIFY2(tag_status().endsWith(QStringLiteral("ID3v2 tag removed")), qPrintable(tag_status()));
        const QJsonObject bare = gui_testing::mutagen_view(mp3(1));
        QVERIFY(bare.value(QStringLiteral("v2")).isNull());
        QVERIFY(bare.value(QStringLiteral("v1")).isNull());
        QCOMPARE(text(QStringLiteral("v2_title")), QString());
    }

    void showsErrorsInWordsWithTheirFiles() {
        const QString bad = dir_.filePath(QStringLiteral("not audio.wav"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        const QString missing = dir_.filePath(QStringLiteral("gone.wav"));
        window_->open_files({bad, missing});
        const int row = table_->rowCount() - 2;
        click(QStringLiteral("start"));
        // The job's end status, then the control's refusal before a job starts.
        QTRY_VERIFY_WITH_TIMEOUT(!window_->queue().running(), kJobTimeout);
        QCOMPARE(status(row), QStringLiteral("Failed: Invalid wav file (error 102)"));
        QCOMPARE(status(row + 1), QStringLiteral("Failed: The input file or path is invalid (error 5)"));
        const QString log = window_->findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
        QVERIFY2(log.contains(bad + QStringLiteral(": failed: Invalid wav file (error 102)")), qPrintable(log));
        QVERIFY2(log.contains(missing + QStringLiteral(": failed: The input file or path is invalid (error 5)")),
                 qPrintable(log));
    }

    void namesOutputsWithoutReplacingFiles() {
        const QString folder = dir_.filePath(QStringLiteral("names"));
        QVERIFY(QDir().mkpath(folder));
        const QString input = dir_.filePath(QStringLiteral("song.wav"));
        QCOMPARE(JobQueue::free_output_name(input, folder), folder + QStringLiteral("/song.mp3"));
        for (const char* taken : {"song.mp3", "song (2).mp3"}) {
            QFile file(folder + '/' + taken);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(JobQueue::free_output_name(input, folder), folder + QStringLiteral("/song (3).mp3"));
    }

    void opensAndClosesTheAboutBox() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "open");
        // The box is modal: the action returns once it is closed, so it is
        // looked at and closed from a timer while it is shown.
        QStringList seen;
        bool screenshot = false;
        std::function<void()> inspect = [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return QTimer::singleShot(20, inspect);
            seen << box->windowTitle() << box->findChild<QLabel*>(QStringLiteral("maker"))->text()
                 << box->findChild<QPlainTextEdit*>(QStringLiteral("description"))->toPlainText();
            screenshot = QTest::qWaitForWindowExposed(box) &&
                         gui_testing::save_screenshot(box, QStringLiteral("about-dialog"));
            for (const char* link : {"webLink", "mailLink"})
                emit box->findChild<QLabel*>(QString::fromLatin1(link))->linkActivated(QString());  // a click
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("exitButton")), Qt::LeftButton);
        };
        QTimer::singleShot(0, inspect);
        window_->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));

        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0], QStringLiteral("ZUBMP3 Encode 1.2.0"));
        QCOMPARE(seen[1], QStringLiteral("The zubmp3 project"));
        QVERIFY(seen[2].contains(QStringLiteral("ability to pause resume and cancel the execution")));
        QVERIFY(screenshot);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(recorder.opened, QStringList({QStringLiteral("https://zubmp3.example.org/"),
                                               QStringLiteral("mailto:developers@zubmp3.example.org")}));
    }

private:
    QString wav(int n) const { return dir_.filePath(QStringLiteral("take %1.wav").arg(n)); }
    QString mp3(int n) const { return dir_.filePath(QStringLiteral("take %1.mp3").arg(n)); }

    void drop(const QStringList& files) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
        data->setUrls(urls);
        const QPoint at = window_->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &drop);
        delete data;
    }

    template <typename T>
    void choose(const QString& box, const T& value) {
        auto* combo = window_->findChild<QComboBox*>(box);
        combo->setCurrentIndex(combo->findData(value));
        QCOMPARE(combo->currentData().value<T>(), value);
    }

    void click(const QString& name) { QTest::mouseClick(window_->findChild<QPushButton*>(name), Qt::LeftButton); }
    void type(const QString& name, const QString& value) {
        auto* edit = window_->findChild<QLineEdit*>(name);
        edit->clear();
        QTest::keyClicks(edit, value);
    }
    QString text(const QString& name) { return window_->findChild<QLineEdit*>(name)->text(); }
    QString tag_status() { return window_->findChild<QLabel*>(QStringLiteral("tagStatus"))->text(); }

    QString status(int row) const { return table_->item(row, JobTable::kStatus)->text(); }
    int progress(int row) const {
        return static_cast<QProgressBar*>(table_->cellWidget(row, JobTable::kProgress))->value();
    }
    QToolButton* row_button(int row, const char* name) const {
        return table_->cellWidget(row, JobTable::kActions)->findChild<QToolButton*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir_;
    std::unique_ptr<MainWindow> window_;
    JobTable* table_ = nullptr;
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
