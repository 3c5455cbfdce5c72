// vigilux-controls-gallery [--screenshot FILE]
// Shows every control in every state; with --screenshot, grabs the window to
// a PNG and exits (works with QT_QPA_PLATFORM=offscreen).
#include "controls/gallery/Gallery.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vigilux controls gallery"));
    parser.addHelpOption();
    const QCommandLineOption shot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save the window to FILE (PNG) and exit."),
                                  QStringLiteral("FILE"));
    parser.addOption(shot);
    parser.process(app);

    vigilux::controls::gallery::Gallery gallery;
    gallery.show();
    if (!parser.isSet(shot))
        return QApplication::exec();

    QApplication::processEvents();
    const QString file = parser.value(shot);
    if (!gallery.grab().save(file, "PNG")) {
        QTextStream(stderr) << "Cannot write " << file << '\n';
        return 1;
    }
    return 0;
}
