#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of start-up: the root folder and the skin switch.
struct CommandLine {
    QString rootDir;      // the text for RootDir; meaningful only when hasRoot
    bool hasRoot = false; // argument 1 was a path (not absent, not the "/s" switch)
    bool skin = false;    // the last argument is exactly "/s"
};

// Reads the program's arguments (without the program itself) as the shell split them.
// Empty arguments are dropped first. Argument 1 sets the root: an existing folder (links followed)
// is kept unchanged, anything else is cut after its last "/" (empty when it has none), without
// checking that this folder exists. An argument 1 that is exactly "/s" is the skin switch and sets
// no root. The skin is on exactly when the last argument is "/s", compared case-sensitively.
CommandLine parseCommandLine(const QStringList& arguments);

// What a lone "--version" or "--help" asks for. Either is an option only when it is the one
// argument and no file or folder of that name exists; otherwise it keeps its meaning as a path.
enum class InfoRequest { None, Version, Help };
InfoRequest infoRequest(const QStringList& arguments);

// The texts those two print, each ending in a newline.
QString versionText(const QString& program);
QString helpText();
