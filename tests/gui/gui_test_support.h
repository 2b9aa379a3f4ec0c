// Helpers of the GUI tests: generated WAV files, outside tools (ffmpeg,
// mutagen) and screenshots.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace gui_testing {

// Runs a program; its standard output, or nullopt when it failed.
std::optional<QByteArray> run(const QString& program, const QStringList& arguments);

// A WAV of generated music (zubmp3-demo-wav), 44.1 kHz stereo.
bool write_demo_wav(const QString& path, double seconds);

// Sample frames ffmpeg decodes from an MP3 (stereo); -1 when ffmpeg fails.
qint64 decoded_frames(const QString& mp3);

// mutagen's view of an MP3: {"seconds", "bitrate", "v2": {frame: text} | null,
// "v1": {frame: text} | null}; empty when mutagen cannot read the file.
QJsonObject mutagen_view(const QString& mp3);

// The window as the X server shows it, saved as NAME.png in the screenshot folder.
bool save_screenshot(QWidget* window, const QString& name);

}  // namespace gui_testing
