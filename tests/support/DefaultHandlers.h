#pragma once

#include "support/TempTree.h"

#include <QString>

// The default applications of MIME types on a desktop that knows the system's MIME database but
// none of the system's applications, so that only the user's own entries can become defaults.
// Sets XDG_DATA_DIRS for its lifetime; HOME and the XDG_*_HOME variables are the caller's.
class DefaultHandlers {
public:
    // applications: the user's folder of desktop entries, made if missing.
    DefaultHandlers(TempTree& tree, const QString& applications);

    // What `gio mime` says of the type once the user's entries are indexed the way desktops and
    // installers index them; a test failure when gio gives no answer about the type.
    QString of(const QString& type) const;

private:
    QString m_applications;
    ScopedEnv m_dataDirs;
};
