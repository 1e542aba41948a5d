// The screenshot that the AppStream metadata shows: the window summarising a folder, drawn
// offscreen, so the picture shows the program as it is built.
//
// Usage: screenshot ROOT OUT.png [WIDTH HEIGHT]

#include "WindowControls.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s ROOT OUT.png [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Trovex"));
    const std::unique_ptr<QMainWindow> window = createMainWindow({QString::fromLocal8Bit(argv[1])});
    WindowControls controls(*window);
    window->resize(argc == 5 ? std::atoi(argv[3]) : 1000, argc == 5 ? std::atoi(argv[4]) : 700);
    controls.show();
    QApplication::processEvents();
    controls.Button1->click(); // the summary runs inside the click, as GO does
    QApplication::processEvents();
    if (!window->grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
