#include "app/try1.h"
#include "platform/FileName.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    // Without a display Qt would abort with a message about platform plugins that helps nobody.
    if (!hasDisplay()) {
        std::fputs("trovex: Trovex needs a graphical display (X11 or Wayland) and none was found; "
                   "on a machine without one, run it as: xvfb-run ./run.sh [folder]\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trovex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trovex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/trovex.png")));

    // QApplication has taken out its own options; the rest are ours, decoded losslessly.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << platform::decodeFileName(argv[i], static_cast<qsizetype>(std::strlen(argv[i])));

    TForm1 form(arguments);
    form.show();
    return QApplication::exec();
}
