#include "search/CommandLine.h"

#include "platform/FileName.h"
#include "search/FileHelpers.h"

#include <sys/stat.h>

namespace {

const QString skinSwitch = QStringLiteral("/s");

// Asked of the name's own bytes: a name that is not UTF-8 must not be re-encoded into another one.
bool isFolder(const QString& path) {
    struct stat st;
    return ::stat(platform::encodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
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
