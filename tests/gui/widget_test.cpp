// ZUBEncodeWidget in a real window: its size, its events as Qt signals, and
// the control's host loop driven by Qt's.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>

#include "control_text.h"
#include "gui_test_support.h"
#include "zubmp3/zubencode_widget.h"

using zubmp3::ZUBEncodeWidget;

namespace {

zubmp3::Text control_path(const QString& path) { return zubmp3::app::control_path(path.toStdString()); }

}  // namespace

class WidgetTest : public QObject {
    Q_OBJECT

private slots:
    void keepsTheControlsSizeAtTheScreensResolution() {
        QCOMPARE(ZUBEncodeWidget::twips_to_pixels(550, 96), 37);
        QCOMPARE(ZUBEncodeWidget::twips_to_pixels(550, 144), 55);
        QCOMPARE(ZUBEncodeWidget::twips_to_pixels(1440, 120), 120);

        ZUBEncodeWidget widget;
        widget.resize(300, 200);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        const int expected = ZUBEncodeWidget::twips_to_pixels(550, widget.logicalDpiX());
        QCOMPARE(widget.size(), QSize(expected, ZUBEncodeWidget::twips_to_pixels(550, widget.logicalDpiY())));
        widget.resize(500, 500);  // the control keeps its size
        QCOMPARE(widget.width(), expected);
        QCOMPARE(widget.toolTip(), QStringLiteral("ZUBMP3 Encode 1.2.0"));
    }

    // Only Qt's loop runs here: the control's poll must run inside it and its
    // events arrive, in their order, on the GUI thread.
    void reportsAJobThroughSignalsWhileQtsLoopRuns() {
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("in.wav")), mp3 = dir.filePath(QStringLiteral("out.mp3"));
        QVERIFY(gui_testing::write_demo_wav(wav, 2));

        ZUBEncodeWidget widget;
        QStringList events;
        bool on_gui_thread = true;
        const auto record = [&](const QString& event) {
            events << event;
            on_gui_thread = on_gui_thread && QThread::currentThread() == qApp->thread();
        };
        connect(&widget, &ZUBEncodeWidget::errorCode, this,
                [&](int number, const QString& text) { record(QStringLiteral("ErrorCode %1 %2").arg(number).arg(text)); });
        connect(&widget, &ZUBEncodeWidget::finished, this, [&] { record(QStringLiteral("Finished")); });
        connect(&widget, &ZUBEncodeWidget::progress, this,
                [&](int percent) { record(QStringLiteral("Progress %1").arg(percent)); });

        widget.control().MP3Encode(control_path(wav), control_path(mp3), 128, u"joint", u"normal", 0, 320);
        QVERIFY(events.isEmpty());  // nothing is raised before the first poll
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(QStringLiteral("Finished")), 60000);
        QVERIFY(on_gui_thread);
        QCOMPARE(events.mid(events.size() - 3),
                 QStringList({QStringLiteral("ErrorCode 0 No error "), QStringLiteral("Finished"),
                              QStringLiteral("Progress 100")}));
        QCOMPARE(gui_testing::decoded_frames(mp3), qint64(2 * 44100));
    }

    void reportsARefusedJobDuringTheCall() {
        ZUBEncodeWidget widget;
        QSignalSpy errors(&widget, &ZUBEncodeWidget::errorCode);
        widget.control().MP3Encode(u"", u"Z:\\tmp\\out.mp3", 128, u"joint", u"normal", 0, 320);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), 3);
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("The input file is empty "));
    }

    void deliversTheGenreList() {
        ZUBEncodeWidget widget;
        QSignalSpy genres(&widget, &ZUBEncodeWidget::id3v1GenreList);
        widget.control().Generate_ID3v1Genre();
        QCOMPARE(genres.count(), 150);
        QCOMPARE(genres.at(0), QVariantList({true, QString()}));
        QCOMPARE(genres.at(1), QVariantList({false, QStringLiteral("Blues")}));
    }

    // No host timer is enabled, so only the wake-up can make Qt's loop run
    // work that another thread posts to the GUI thread's host loop.
    void runsWorkPostedFromAnotherThreadAtOnce() {
        ZUBEncodeWidget widget;
        zubmp3::EventLoop& loop = zubmp3::EventLoop::current();
        std::atomic<bool> ran{false};
        std::atomic<bool> on_gui_thread{false};
        std::thread poster([&] {
            loop.post([&] {
                on_gui_thread = QThread::currentThread() == qApp->thread();
                ran = true;
            });
        });
        poster.join();
        QTRY_VERIFY_WITH_TIMEOUT(ran.load(), 10000);
        QVERIFY(on_gui_thread.load());
    }
};

QTEST_MAIN(WidgetTest)
#include "widget_test.moc"
