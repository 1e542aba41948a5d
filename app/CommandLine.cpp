#include "app/CommandLine.h"

#include <QFileInfo>

namespace {

const QString skinSwitch = QStringLiteral("/s");

QString folderPart(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
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
        result.rootDir = QFileInfo(first).isDir() ? first : folderPart(first);
    }
    result.skin = args.last() == skinSwitch;
    return result;
}
