#include "gui_test_support.h"

#include <QDir>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>

namespace gui_testing {

std::optional<QByteArray> run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

bool write_demo_wav(const QString& path, double seconds) {
    return run(QStringLiteral(ZUBMP3_BUILD_BIN_DIR "/zubmp3-demo-wav"),
               {path, QStringLiteral("--seconds"), QString::number(seconds)})
        .has_value();
}

qint64 decoded_frames(const QString& mp3) {
    const auto pcm = run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                                    mp3, QStringLiteral("-f"), QStringLiteral("s16le"),
                                                    QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-")});
    return pcm ? pcm->size() / 4 : -1;
}

QJsonObject mutagen_view(const QString& mp3) {
    // The tag view of the hardening tests, plus the bitrate.
    static const char* const script = R"(
import json, sys
sys.path.insert(0, sys.argv[1])
from mutagen.mp3 import MP3
from mutagen_check import check
entry = check(sys.argv[2])
entry["bitrate"] = MP3(sys.argv[2]).info.bitrate
print(json.dumps(entry))
)";
    const auto out = run(QStringLiteral("/usr/bin/python3"),  // Debian's, with python3-mutagen
                         {QStringLiteral("-c"), QString::fromLatin1(script),
                          QStringLiteral(ZUBMP3_SOURCE_DIR "/tests/hardening"), mp3});
    return out ? QJsonDocument::fromJson(*out).object() : QJsonObject();
}

bool save_screenshot(QWidget* window, const QString& name) {
    QDir().mkpath(QStringLiteral(ZUBMP3_SCREENSHOT_DIR));
    window->repaint();  // what the window shows now, on the X server too
    QCoreApplication::processEvents();
    QScreen* screen = window->screen();
    const QPixmap shot = screen != nullptr ? screen->grabWindow(window->winId()) : QPixmap();
    return !shot.isNull() && shot.save(QStringLiteral(ZUBMP3_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
}

}  // namespace gui_testing
