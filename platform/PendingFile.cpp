#include "platform/PendingFile.h"

#include "platform/PosixFile.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kAttempts = 100;

QByteArray freshName(const QByteArray& folder) {
    static constexpr char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = QByteArrayLiteral(".trovex-");
    for (int i = 0; i < 6; ++i)
        name += digits[QRandomGenerator::global()->bounded(int(sizeof digits - 1))];
    return joinPath(folder, name);
}

// Moves from to to unless something is already at to (errno EEXIST then).
bool moveNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace rename: a hard link also refuses an existing target.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT, some network shares): the last check leaves only a tiny window.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

} // namespace

PendingFile::~PendingFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_keep >= 0)
        ::close(m_keep);
    if (!m_temp.isEmpty())
        ::unlink(m_temp.constData());
}

bool PendingFile::create(const QByteArray& folder, mode_t mode, bool allowUnnamed) {
    Q_ASSERT(m_fd < 0 && m_keep < 0 && m_temp.isEmpty());
    m_folder = folder;
    // An unnamed file is linked in through /proc; without it, only a privileged process could.
    if (allowUnnamed && ::access("/proc/self/fd", X_OK) == 0) {
        m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_unnamed = true;
            return true;
        }
        // A file system without unnamed files says EOPNOTSUPP; a kernel without them sees a plain
        // O_DIRECTORY open and says EISDIR.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QByteArray name = freshName(folder);
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_temp = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool PendingFile::close() {
    if (m_fd < 0)
        return true;
    if (m_unnamed && m_keep < 0) {
        m_keep = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
        if (m_keep < 0)
            return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

bool PendingFile::linkTo(const QByteArray& path) const {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd >= 0 ? m_fd : m_keep);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0;
}

bool PendingFile::publish(const QByteArray& path, bool replace) {
    if (!m_unnamed) {
        Q_ASSERT(!m_temp.isEmpty());
        if (!(replace ? ::rename(m_temp.constData(), path.constData()) == 0 : moveNoReplace(m_temp, path)))
            return false;
        m_temp.clear();
        return true;
    }
    // A link never replaces anything, which is just what a new name needs.
    if (!replace)
        return linkTo(path);
    // To replace, the file gets a hidden name of its own first and is then renamed over the target.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QByteArray temp = freshName(m_folder);
        if (!linkTo(temp)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (::rename(temp.constData(), path.constData()) == 0)
            return true;
        const int err = errno;
        ::unlink(temp.constData());
        errno = err;
        return false;
    }
    return false;
}

} // namespace platform
