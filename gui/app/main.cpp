// zubmp3-gui: a desktop application that hosts the ZUBEncode control.
// Files named on the command line are opened as if dropped on the window.
#include <QApplication>
#include <QCommandLineParser>

#include "main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zubmp3-gui"));
    QApplication::setApplicationVersion(QStringLiteral(ZUBMP3_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Encodes WAV files to MP3 and edits their ID3 tags."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("WAV files to encode, or an MP3 file to tag"),
                                 QStringLiteral("[FILE...]"));
    parser.process(application);

    zubmp3::gui::MainWindow window;
    window.open_files(parser.positionalArguments());
    window.show();
    return QApplication::exec();
}
