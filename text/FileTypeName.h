#pragma once

#include <QHash>
#include <QString>
#include <functional>

// The desktop's name for a file type, looked up by extension alone (the name "*" + type text),
// from the shared MIME database. Unknown types are named as "EXT File" with the extension in
// capitals and without its dot, and "File" for the empty extension. At most 80 characters.
QString FileTypeName(const QString& typeText);

// Type names with a cache for the run: a summary asks once per type. lookup is the source of the
// names: FileTypeName, or the desktop's.
class FileTypeNameCache {
public:
    const QString& name(const QString& typeText,
                        const std::function<QString(const QString& typeText)>& lookup = FileTypeName);
    void clear() { m_names.clear(); }

private:
    QHash<QString, QString> m_names;
};
