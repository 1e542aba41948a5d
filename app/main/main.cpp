#include "app/MainWindow.h"
#include "platform/FileName.h"
#include "cli/CommandLine.h"

#include <QApplication>
#include <QIcon>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Whether a local stream socket at path (a leading '@' for the abstract namespace) takes a connection.
bool socketAnswers(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size());
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    else
        length += 1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

// Whether the X server that DISPLAY names answers: ":N" and "unix:N" on this machine's socket,
// "host:N" on TCP port 6000 + N.
bool xServerAnswers(const char* display) {
    const std::string text(display);
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = text.substr(0, colon);
    const std::string number = text.substr(colon + 1, text.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (host.empty() || host == "unix") {
        const std::string socket = "/tmp/.X11-unix/X" + number;
        return socketAnswers("@" + socket) || socketAnswers(socket);
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(6000 + std::stoi(number));
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (const addrinfo* a = found; a && !ok; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0) {
            ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return ok;
}

bool waylandAnswers(const char* display) {
    const std::string name(display);
    if (name[0] == '/')
        return socketAnswers(name);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && socketAnswers(std::string(runtime) + "/" + name);
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt aborts with a message about platform plugins when it cannot open the display it is pointed
// at (none, or a stale DISPLAY or WAYLAND_DISPLAY); find that out first and say it plainly.
bool displayAnswers() {
    if (isSet("QT_QPA_PLATFORM"))
        return true; // the user chose the platform; Qt reports its own failures
    if (isSet("DISPLAY") && xServerAnswers(std::getenv("DISPLAY")))
        return true;
    return isSet("WAYLAND_DISPLAY") && waylandAnswers(std::getenv("WAYLAND_DISPLAY"));
}

// Where no display answers, what to run instead: the build tree's run.sh beside it, or for the
// installed program the headless trovex-scan or the window under a display of its own.
std::string noDisplayMessage() {
    std::string message = "trovex: no display could be opened (DISPLAY and WAYLAND_DISPLAY name none that answers); ";
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, size_t(length)) : std::string();
    folder = folder.substr(0, folder.rfind('/') + 1);
    if (!folder.empty() && ::access((folder + "../run.sh").c_str(), X_OK) == 0)
        return message + "on a machine without one, run it as: xvfb-run ./run.sh [folder]\n";
    return message + "without one, use trovex-scan for summaries and lists, or run it as: xvfb-run trovex [folder]\n";
}

} // namespace

int main(int argc, char* argv[]) {
    // Our arguments, decoded losslessly; Qt's own options are taken out of them below.
    const auto ownArguments = [](int count, char** values) {
        QStringList arguments;
        for (int i = 1; i < count; ++i)
            arguments << platform::decodeFileName(values[i], static_cast<qsizetype>(std::strlen(values[i])));
        return arguments;
    };
    // Asked before the display, so both answer on a machine without one.
    switch (infoRequest(ownArguments(argc, argv))) {
    case InfoRequest::Version:
        std::fputs(versionText(QStringLiteral("trovex")).toUtf8().constData(), stdout);
        return 0;
    case InfoRequest::Help:
        std::fputs(helpText().toUtf8().constData(), stdout);
        return 0;
    case InfoRequest::None:
        break;
    }

    if (!displayAnswers()) {
        std::fputs(noDisplayMessage().c_str(), stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trovex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trovex"));
    // The desktop entry's name, so a Wayland compositor matches the window to the entry's icon.
    QApplication::setDesktopFileName(QStringLiteral("io.github.trovex.Trovex"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("io.github.trovex.Trovex"), QIcon(QStringLiteral(":/trovex.png"))));

    const std::unique_ptr<QMainWindow> window = createMainWindow(ownArguments(argc, argv));
    window->show();
    return QApplication::exec();
}
