#include "platform/Trash.h"

#include "platform/FileName.h"
#include "platform/FileUri.h"
#include "platform/PosixFile.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qsizetype kNameMax = 255;
const QByteArray kInfoSuffix = QByteArrayLiteral(".trashinfo");

// A folder made by us or found as a real folder (not a link) that we own.
bool ensurePrivateDir(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool ensureDirs(const QByteArray& path) {
    for (qsizetype pos = 1; (pos = path.indexOf('/', pos)) > 0; ++pos) {
        if (::mkdir(path.left(pos).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

QByteArray homeTrashPath() {
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = qgetenv("HOME") + "/.local/share";
    return joinPath(dataHome, QByteArrayLiteral("Trash"));
}

// Device of the nearest existing folder on the way to path.
bool deviceOf(QByteArray path, dev_t& dev) {
    struct stat st {};
    while (::stat(path.constData(), &st) != 0) {
        if (path == "/")
            return false;
        path = parentPath(path);
    }
    dev = st.st_dev;
    return true;
}

// The top folder of the mount that holds folder (textually: the last ancestor on the same device).
QByteArray topDirOf(QByteArray folder, dev_t dev) {
    while (folder != "/") {
        const QByteArray parent = parentPath(folder);
        struct stat st {};
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != dev)
            break;
        folder = parent;
    }
    return folder;
}

// The trash of a volume other than the home's, made if needed; empty with errno set when none can be used.
QByteArray volumeTrash(const QByteArray& topDir) {
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = joinPath(topDir, QByteArrayLiteral(".Trash"));
    struct stat st {};
    // An administrator's .Trash counts only as a real sticky folder; a link could send files anywhere.
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QByteArray own = joinPath(shared, uid);
        if (ensurePrivateDir(own))
            return own;
    }
    const QByteArray own = joinPath(topDir, ".Trash-" + uid);
    return ensurePrivateDir(own) ? own : QByteArray();
}

// The name in the trash for attempt n: the file's own name, then "name.2", "name.3", ... cut back
// at a character boundary where the .trashinfo name would exceed the file system's limit.
QByteArray trashName(const QByteArray& base, int n) {
    const QByteArray suffix = n > 1 ? '.' + QByteArray::number(n) : QByteArray();
    qsizetype keep = std::min(base.size(), kNameMax - kInfoSuffix.size() - suffix.size());
    while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80)
        --keep;
    return base.left(keep) + suffix;
}

// Reserves a name by creating its info file exclusively; returns the fd, or -1 (errno EEXIST when taken).
int createInfo(const QByteArray& infoPath, const QByteArray& originalPath) {
    const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    const QByteArray date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    const QByteArray text = "[Trash Info]\nPath=" + percentEncodePath(originalPath) + "\nDeletionDate=" + date + '\n';
    if (!writeAll(fd, text)) {
        const int err = errno;
        ::close(fd);
        ::unlink(infoPath.constData());
        errno = err;
        return -1;
    }
    return fd;
}

TrashResult failure(int err) {
    TrashResult r;
    r.error = qt_error_string(err);
    return r;
}

} // namespace

TrashResult moveToTrash(const QString& path) {
    return moveToTrash(encodeFileName(path));
}

TrashResult moveToTrash(const QByteArray& path) {
    // The info file records an absolute path, or no restore could find the place again.
    const QByteArray file = absolutePath(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0)
        return failure(errno);

    const QByteArray homeTrash = homeTrashPath();
    dev_t homeDev = 0;
    QByteArray trash;
    QByteArray recordedPath = file;
    if (deviceOf(homeTrash, homeDev) && homeDev == st.st_dev) {
        if (!ensureDirs(homeTrash))
            return failure(errno);
        trash = homeTrash;
    } else {
        // Files of other volumes go to that volume's own trash, where a rename suffices; the info
        // path is relative to the volume's top folder, so it stays right wherever it is mounted.
        const QByteArray topDir = topDirOf(parentPath(file), st.st_dev);
        trash = volumeTrash(topDir);
        if (trash.isEmpty())
            return failure(errno);
        recordedPath = file.mid(topDir == "/" ? 1 : topDir.size() + 1);
    }
    const QByteArray filesDir = joinPath(trash, QByteArrayLiteral("files"));
    const QByteArray infoDir = joinPath(trash, QByteArrayLiteral("info"));
    if (!ensurePrivateDir(trash) || !ensurePrivateDir(filesDir) || !ensurePrivateDir(infoDir))
        return failure(errno);

    const QByteArray base = file.mid(file.lastIndexOf('/') + 1);
    for (int n = 1; n < 100000; ++n) {
        const QByteArray name = trashName(base, n);
        const QByteArray infoPath = joinPath(infoDir, name + kInfoSuffix);
        const int fd = createInfo(infoPath, recordedPath);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return failure(errno);
        if (::close(fd) != 0) {
            const int err = errno;
            ::unlink(infoPath.constData());
            return failure(err);
        }
        const QByteArray target = joinPath(filesDir, name);
        // A leftover in files/ without its info file must not be overwritten either.
        const int rc = renameNoReplace(file.constData(), target.constData());
        if (rc != 0) {
            const int err = errno;
            ::unlink(infoPath.constData());
            if (err == EEXIST)
                continue;
            return failure(err);
        }
        TrashResult r;
        r.ok = true;
        r.trashedPath = decodeFileName(target);
        r.infoPath = decodeFileName(infoPath);
        return r;
    }
    return failure(EEXIST);
}

} // namespace platform
