#include "platform/PendingFile.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kAttempts = 100;

QByteArray freshName() {
    static constexpr char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = QByteArrayLiteral(".trovex-");
    for (int i = 0; i < 6; ++i)
        name += digits[QRandomGenerator::global()->bounded(int(sizeof digits - 1))];
    return name;
}

QByteArray lastLevel(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Moves from to to in folder unless something is already at to (errno EEXIST then).
bool moveNoReplace(int folder, const char* from, const char* to) {
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace rename: a hard link also refuses an existing target.
    if (::linkat(folder, from, folder, to, 0) == 0) {
        ::unlinkat(folder, from, 0);
        return true;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT, some network shares): the last check leaves only a tiny window.
    struct stat st {};
    if (::fstatat(folder, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(folder, from, folder, to) == 0;
}

} // namespace

PendingFile::~PendingFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_keep >= 0)
        ::close(m_keep);
    if (!m_temp.isEmpty())
        ::unlinkat(m_folder, m_temp.constData(), 0);
    if (m_folder >= 0)
        ::close(m_folder);
}

bool PendingFile::create(const QByteArray& folder, mode_t mode, bool allowUnnamed) {
    Q_ASSERT(m_fd < 0 && m_folder < 0);
    // Readable where it may be, so the folder can be synced; a folder of write and search rights
    // alone still takes the file.
    m_folder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_folderReadable = m_folder >= 0;
    if (m_folder < 0 && errno == EACCES)
        m_folder = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return m_folder >= 0 && createInFolder(mode, allowUnnamed);
}

bool PendingFile::createIn(int folderFd, mode_t mode, bool allowUnnamed) {
    Q_ASSERT(m_fd < 0 && m_folder < 0);
    m_folder = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    m_folderReadable = m_folder >= 0 && (::fcntl(m_folder, F_GETFL) & O_PATH) == 0;
    return m_folder >= 0 && createInFolder(mode, allowUnnamed);
}

bool PendingFile::createInFolder(mode_t mode, bool allowUnnamed) {
    // An unnamed file is linked in through /proc; without it, only a privileged process could.
    if (allowUnnamed && ::access("/proc/self/fd", X_OK) == 0) {
        m_fd = ::openat(m_folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
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
        const QByteArray name = freshName();
        m_fd = ::openat(m_folder, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
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

bool PendingFile::linkTo(const char* name) const {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd >= 0 ? m_fd : m_keep);
    return ::linkat(AT_FDCWD, self.constData(), m_folder, name, AT_SYMLINK_FOLLOW) == 0;
}

bool PendingFile::publish(const QByteArray& path, bool replace) {
    const QByteArray name = lastLevel(path);
    if (!m_unnamed) {
        Q_ASSERT(!m_temp.isEmpty());
        const bool moved = replace ? ::renameat(m_folder, m_temp.constData(), m_folder, name.constData()) == 0
                                   : moveNoReplace(m_folder, m_temp.constData(), name.constData());
        if (!moved)
            return false;
        m_temp.clear();
        return true;
    }
    // A link never replaces anything, which is just what a new name needs.
    if (!replace)
        return linkTo(name.constData());
    // To replace, the file gets a hidden name of its own first and is then renamed over the target.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QByteArray temp = freshName();
        if (!linkTo(temp.constData())) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (::renameat(m_folder, temp.constData(), m_folder, name.constData()) == 0)
            return true;
        const int err = errno;
        ::unlinkat(m_folder, temp.constData(), 0);
        errno = err;
        return false;
    }
    return false;
}

bool PendingFile::syncFolder() const {
    if (!m_folderReadable)
        return true;
    return ::fsync(m_folder) == 0 || errno == EINVAL; // a file system that syncs nothing says EINVAL
}

} // namespace platform
