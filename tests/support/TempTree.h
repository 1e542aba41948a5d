#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A folder tree built in a temporary folder for one test, removed afterwards. Paths are relative to
// the root and given as native bytes, so names with invalid UTF-8 can be made too.
class TempTree {
public:
    TempTree();
    ~TempTree();

    // The root as text, without a trailing "/".
    QString root() const { return m_dir.path(); }
    std::string rootBytes() const;
    std::string abs(const std::string& rel) const;

    // Makes a file with the given bytes (parent folders too); mtime in seconds since 1970 when >= 0.
    void makeFile(const std::string& rel, const QByteArray& bytes = {}, qint64 mtime = -1);
    // Makes a sparse file of the given size.
    void makeSparse(const std::string& rel, qint64 size);
    void makeDir(const std::string& rel);
    void makeLink(const std::string& target, const std::string& rel);
    void setMode(const std::string& rel, unsigned mode);

private:
    QTemporaryDir m_dir;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    QByteArray m_name;
    QByteArray m_old;
    bool m_had;
};

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
