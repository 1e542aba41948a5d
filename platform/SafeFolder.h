#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace platform {

// A folder held open by its descriptor, for work below it that never follows a symbolic link:
// every level is opened relative to its parent with O_NOFOLLOW, files are read, written and
// removed relative to the folder's descriptor, and a link found where a folder or a file should be
// is refused and left exactly as it is, its target untouched. Only the base folder, opened by
// path, is reached the usual way, links on the way included.
//
// Names are single levels (no "/"), decoded losslessly from the file system's bytes. Functions
// that fail return false (or an empty result) and, when error is given, put a message there that
// names the path and the reason; errorCode, where offered, receives the errno behind it, with
// ELOOP standing for a link and ENOTDIR for anything else that is not a folder.
class SafeFolder {
public:
    // What stands at a name, seen without following a link.
    enum class Kind { Missing, Folder, File, Link, Other };

    SafeFolder() = default;
    ~SafeFolder();
    SafeFolder(SafeFolder&& other) noexcept;
    SafeFolder& operator=(SafeFolder&& other) noexcept;
    SafeFolder(const SafeFolder&) = delete;
    SafeFolder& operator=(const SafeFolder&) = delete;

    // Opens the folder at path, following links as usual. With create, the missing folders on the
    // way are made first; the message then is "Cannot create folder" with the path.
    static SafeFolder openBase(const QString& path, bool create, QString* error = nullptr, int* errorCode = nullptr);

    bool isOpen() const { return m_fd >= 0; }
    // The folder's path as it was reached, for messages.
    const QString& path() const { return m_path; }
    // path() + "/" + name.
    QString pathOf(const QString& name) const;

    // What stands at name; nothing when that cannot be told (the folder cannot be searched).
    std::optional<Kind> kindOf(const QString& name, QString* error = nullptr) const;

    // Opens the sub-folder name for reading. Fails when nothing, a file or a link stands there.
    SafeFolder openFolder(const QString& name, QString* error = nullptr, int* errorCode = nullptr) const;

    // Opens the sub-folder name, making it first when nothing stands there.
    SafeFolder makeFolder(const QString& name, QString* error = nullptr) const;

    // The names in the folder without "." and "..", sorted; nothing when it cannot be read.
    std::optional<QStringList> names(QString* error = nullptr) const;

    // The bytes of the regular file name; nothing when it is missing, is no regular file (a link
    // included) or cannot be read.
    std::optional<QByteArray> readFile(const QString& name, QString* error = nullptr, int* errorCode = nullptr) const;

    // Creates or replaces the regular file name: the bytes go to a temporary file beside it, made
    // with mode (less the umask), which is then renamed over the name, so the file is never seen
    // half written. Refuses when a link, a folder or anything but a regular file stands at name.
    bool writeFile(const QString& name, const QByteArray& bytes, mode_t mode = 0666, QString* error = nullptr) const;

    // Removes the file name. Nothing there is no failure; a link or a folder is refused.
    bool removeFile(const QString& name, QString* error = nullptr) const;

    // Removes the sub-folder name with everything below it: in each folder the sub-folders from
    // the last name to the first, then the files, then the folder itself. Nothing there is no
    // failure; a link or a file at name is refused. A link found below is left in place with the
    // folders that hold it; the removal goes on with the rest and reports the first failure.
    bool removeTree(const QString& name, QString* error = nullptr) const;

private:
    SafeFolder(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    QString m_path;
};

} // namespace platform
