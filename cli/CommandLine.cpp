#include "cli/CommandLine.h"

#include "platform/FileName.h"
#include "text/FileHelpers.h"
#include "cli/ProgramVersion.h"

#include <sys/stat.h>

namespace {

const QString skinSwitch = QStringLiteral("/s");

// Asked of the name's own bytes: a name that is not UTF-8 must not be re-encoded into another one.
bool isFolder(const QString& path) {
    struct stat st;
    return ::stat(platform::encodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(platform::encodeFileName(path).constData(), &st) == 0;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QStringList args = arguments;
    args.removeAll(QString());

    CommandLine result;
    if (args.isEmpty())
        return result;

    const QString& first = args.first();
    // On Linux "/s" would otherwise read as a path under "/"; as argument 1 it is only the switch.
    if (first != skinSwitch) {
        result.hasRoot = true;
        result.rootDir = isFolder(first) ? first : ExtractFilePath(first);
    }
    result.skin = args.last() == skinSwitch;
    return result;
}

InfoRequest infoRequest(const QStringList& arguments) {
    if (arguments.size() != 1)
        return InfoRequest::None;
    const QString& only = arguments.first();
    InfoRequest request = InfoRequest::None;
    if (only == QLatin1String("--version"))
        request = InfoRequest::Version;
    else if (only == QLatin1String("--help"))
        request = InfoRequest::Help;
    // A file of that name in the current folder is what the user clicked or typed, not an option.
    return request != InfoRequest::None && exists(only) ? InfoRequest::None : request;
}

QString versionText(const QString& program) {
    return QStringLiteral("%1 %2\n").arg(program, QLatin1String(programVersion()));
}

QString helpText() {
    return QStringLiteral("Usage: trovex [FOLDER | FILE] [/s]\n"
                          "Searches files and summarises a folder tree by file type, in a window.\n"
                          "\n"
                          "  FOLDER     start with this folder as the root (a file: its folder)\n"
                          "  /s         as the last argument: start with the skin on\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the version and exit\n"
                          "\n"
                          "Either option is read only as the one argument and when no file of that name exists.\n"
                          "For searches without a display, see trovex-scan(1).\n");
}
