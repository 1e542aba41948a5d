#include "platform/SafeFolder.h"

#include "platform/FileName.h"
#include "platform/FileWriter.h"
#include "platform/PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QString linkReason = QStringLiteral("it is a symbolic link, which is left as it is");

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString reasonFor(int err) {
    return err == ELOOP ? linkReason : systemReason(err);
}

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

void setCode(int* errorCode, int err) {
    if (errorCode)
        *errorCode = err;
}

QString failure(const char* verb, const QString& path, int err) {
    return QStringLiteral("Cannot %1 \"%2\": %3").arg(QLatin1String(verb), path, reasonFor(err));
}

// One level: never empty, ".", ".." or holding a "/", so a name cannot climb or descend further.
bool isSingleLevel(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// The errno an open of a folder that failed with ENOTDIR stands for: ELOOP when a link stands at
// the name, since O_NOFOLLOW with O_DIRECTORY reports a link as no folder.
int folderOpenError(int dirFd, const char* name, int err) {
    if (err != ENOTDIR)
        return err;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return ELOOP;
    return ENOTDIR;
}

SafeFolder::Kind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return SafeFolder::Kind::Folder;
    if (S_ISREG(mode))
        return SafeFolder::Kind::File;
    if (S_ISLNK(mode))
        return SafeFolder::Kind::Link;
    return SafeFolder::Kind::Other;
}

} // namespace

SafeFolder::~SafeFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

SafeFolder::SafeFolder(SafeFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

SafeFolder& SafeFolder::operator=(SafeFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

SafeFolder SafeFolder::openBase(const QString& path, bool create, QString* error, int* errorCode) {
    const QByteArray bytes = encodeFileName(path);
    if (create) {
        for (qsizetype pos = 1; (pos = bytes.indexOf('/', pos)) > 0; ++pos)
            ::mkdir(bytes.left(pos).constData(), 0777);
        ::mkdir(bytes.constData(), 0777);
    }
    const int fd = ::open(bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        setCode(errorCode, err);
        setError(error, create ? QStringLiteral("Cannot create folder \"%1\"").arg(path)
                               : QStringLiteral("Cannot open \"%1\": %2").arg(path, systemReason(err)));
        return {};
    }
    return SafeFolder(fd, path);
}

QString SafeFolder::pathOf(const QString& name) const {
    return m_path + QLatin1Char('/') + name;
}

std::optional<SafeFolder::Kind> SafeFolder::kindOf(const QString& name, QString* error) const {
    const QByteArray bytes = encodeFileName(name);
    if (!isSingleLevel(bytes)) {
        setError(error, failure("open", pathOf(name), EINVAL));
        return std::nullopt;
    }
    struct stat st {};
    if (::fstatat(m_fd, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return kindOfMode(st.st_mode);
    if (errno == ENOENT)
        return Kind::Missing;
    setError(error, failure("open", pathOf(name), errno));
    return std::nullopt;
}

SafeFolder SafeFolder::openFolder(const QString& name, QString* error, int* errorCode) const {
    const QByteArray bytes = encodeFileName(name);
    int err = EINVAL;
    if (isSingleLevel(bytes)) {
        const int fd = ::openat(m_fd, bytes.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            return SafeFolder(fd, pathOf(name));
        err = folderOpenError(m_fd, bytes.constData(), errno);
    }
    setCode(errorCode, err);
    setError(error, failure("open", pathOf(name), err));
    return {};
}

SafeFolder SafeFolder::makeFolder(const QString& name, QString* error) const {
    const QByteArray bytes = encodeFileName(name);
    if (isSingleLevel(bytes) && ::mkdirat(m_fd, bytes.constData(), 0777) != 0 && errno != EEXIST) {
        setError(error, failure("create folder", pathOf(name), errno));
        return {};
    }
    // Made now or there already: either way it must be a real folder, never a link to one.
    return openFolder(name, error);
}

std::optional<QStringList> SafeFolder::names(QString* error) const {
    // A descriptor of its own, since closedir closes the one it is given.
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        setError(error, failure("read", m_path, err));
        return std::nullopt;
    }
    QStringList list;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            list << decodeFileName(name, qsizetype(std::strlen(name)));
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0) {
        setError(error, failure("read", m_path, err));
        return std::nullopt;
    }
    list.sort();
    return list;
}

std::optional<QByteArray> SafeFolder::readFile(const QString& name, QString* error, int* errorCode) const {
    const QByteArray bytes = encodeFileName(name);
    auto fail = [&](int err) -> std::optional<QByteArray> {
        setCode(errorCode, err);
        setError(error, failure("read", pathOf(name), err));
        return std::nullopt;
    };
    if (!isSingleLevel(bytes))
        return fail(EINVAL);
    // Non-blocking, so that a FIFO at the name cannot hang the open; it is refused below.
    const int fd = ::openat(m_fd, bytes.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    QByteArray content;
    char buffer[16384];
    for (;;) {
        const qsizetype n = readSome(fd, buffer, qsizetype(sizeof buffer));
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(err);
        }
        if (n == 0)
            break;
        content.append(buffer, n);
    }
    ::close(fd);
    return content;
}

bool SafeFolder::writeFile(const QString& name, const QByteArray& bytes, mode_t mode, QString* error) const {
    const QByteArray target = encodeFileName(name);
    if (!isSingleLevel(target)) {
        setError(error, failure("write", pathOf(name), EINVAL));
        return false;
    }
    // The writer refuses a link, a folder or anything but a regular file at the name, and renames
    // its file over the name relative to this folder's descriptor, never through a link.
    FileWriter file;
    if (file.createIn(m_fd, target, mode) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    setError(error, failure("write", pathOf(name), file.error()));
    return false;
}

bool SafeFolder::removeFile(const QString& name, QString* error) const {
    const QByteArray bytes = encodeFileName(name);
    auto fail = [&](int err) {
        setError(error, failure("delete", pathOf(name), err));
        return false;
    };
    if (!isSingleLevel(bytes))
        return fail(EINVAL);
    struct stat st {};
    if (::fstatat(m_fd, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? true : fail(errno);
    if (S_ISLNK(st.st_mode))
        return fail(ELOOP);
    if (S_ISDIR(st.st_mode))
        return fail(EISDIR);
    if (::unlinkat(m_fd, bytes.constData(), 0) != 0 && errno != ENOENT)
        return fail(errno);
    return true;
}

bool SafeFolder::removeTree(const QString& name, QString* error) const {
    int err = 0;
    const SafeFolder folder = openFolder(name, nullptr, &err);
    if (!folder.isOpen()) {
        if (err == ENOENT)
            return true;
        setError(error, failure("delete", pathOf(name), err));
        return false;
    }

    bool ok = true;
    auto note = [&](const QString& message) {
        if (ok)
            setError(error, message);
        ok = false;
    };
    const std::optional<QStringList> entries = folder.names(error);
    if (!entries)
        return false;
    QStringList folders, files;
    for (const QString& entry : *entries) {
        QString reason;
        const std::optional<Kind> kind = folder.kindOf(entry, &reason);
        if (!kind)
            note(reason);
        else if (*kind == Kind::Folder)
            folders << entry;
        else if (*kind == Kind::Link)
            note(failure("delete", folder.pathOf(entry), ELOOP));
        else if (*kind != Kind::Missing)
            files << entry;
    }
    std::reverse(folders.begin(), folders.end());
    std::reverse(files.begin(), files.end());
    for (const QString& sub : folders) {
        QString reason;
        if (!folder.removeTree(sub, &reason))
            note(reason);
    }
    for (const QString& file : files) {
        QString reason;
        if (!folder.removeFile(file, &reason))
            note(reason);
    }
    if (::unlinkat(m_fd, encodeFileName(name).constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        note(failure("delete", pathOf(name), errno));
    return ok;
}

} // namespace platform
