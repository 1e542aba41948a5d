#include "platform/FileOperations.h"

#include "platform/FileName.h"
#include "platform/PendingFile.h"
#include "platform/PosixFile.h"

#include <QCryptographicHash>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr qsizetype kChunk = 1 << 20;

enum class Op { Copy, Move };

// An open file descriptor, closed when the guard goes out of scope.
class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

private:
    int m_fd;
};

struct Step {
    FileOpStatus status = FileOpStatus::Done;
    QString reason;
};

Step failed(const QString& reason) {
    return {FileOpStatus::Failed, reason};
}

Step failedErrno(int err) {
    return failed(qt_error_string(err));
}

QString notCopyable() {
    return QStringLiteral("Only files and links can be copied");
}

// Reads the rest of fd into hash; the byte count, or -1 with errno set.
qint64 hashRest(int fd, QCryptographicHash& hash, std::vector<char>& buffer) {
    qint64 total = 0;
    for (;;) {
        const qsizetype n = readSome(fd, buffer.data(), qsizetype(buffer.size()));
        if (n <= 0)
            return n < 0 ? -1 : total;
        hash.addData(QByteArrayView(buffer.data(), n));
        total += n;
    }
}

// A verified copy of the regular file src in out, a new pending file of folder.
Step copyToPending(const QByteArray& src, const QByteArray& folder, const FileOpHooks& hooks, PendingFile& out) {
    FdGuard in(::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!in.isValid())
        return failedErrno(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return failedErrno(errno);
    if (!S_ISREG(st.st_mode))
        return failed(notCopyable());
    if (!out.create(folder, 0600))
        return failedErrno(errno);

    std::vector<char> buffer(kChunk);
    QCryptographicHash written(QCryptographicHash::Md5);
    qint64 done = 0;
    for (;;) {
        const qsizetype n = readSome(in.get(), buffer.data(), kChunk);
        if (n < 0)
            return failedErrno(errno);
        if (n == 0)
            break;
        if (!writeAll(out.fd(), buffer.data(), n))
            return failedErrno(errno);
        written.addData(QByteArrayView(buffer.data(), n));
        done += n;
        if (hooks.onProgress && !hooks.onProgress(done, st.st_size))
            return {FileOpStatus::Cancelled, {}};
    }

    // A file system without permission bits or times still gets the data, so these may fail.
    (void)::fchmod(out.fd(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    (void)::futimens(out.fd(), times);
    if (::fsync(out.fd()) != 0)
        return failedErrno(errno);

    // Read the copy back from the medium rather than the cache, and compare it with what was read.
    (void)::posix_fadvise(out.fd(), 0, 0, POSIX_FADV_DONTNEED);
    if (::lseek(out.fd(), 0, SEEK_SET) != 0)
        return failedErrno(errno);
    QCryptographicHash readBack(QCryptographicHash::Md5);
    const qint64 backSize = hashRest(out.fd(), readBack, buffer);
    if (backSize < 0)
        return failedErrno(errno);
    if (backSize != done || readBack.result() != written.result())
        return failed(QStringLiteral("The copy does not match the original"));
    if (!out.close())
        return failedErrno(errno);
    return {};
}

// A copy of the link src (the link itself, not what it points to) in a new temporary name of folder.
Step copyLinkToTemp(const QByteArray& src, const QByteArray& folder, QByteArray& temp) {
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t len = ::readlink(src.constData(), target.data(), size_t(target.size()));
    if (len < 0)
        return failedErrno(errno);
    target.truncate(len);
    for (int n = 0; n < 1000; ++n) {
        const QByteArray name =
            joinPath(folder, ".trovex-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(n));
        if (::symlink(target.constData(), name.constData()) == 0) {
            temp = name;
            return {};
        }
        if (errno != EEXIST)
            return failedErrno(errno);
    }
    return failedErrno(EEXIST);
}

// Copies src (a file or link, stat'ed as st) to dst, replacing dst only when replace is set.
Step copyInto(const QByteArray& src, const struct stat& st, const QByteArray& dst, bool replace,
              const FileOpHooks& hooks) {
    const QByteArray folder = parentPath(dst);
    if (S_ISLNK(st.st_mode)) {
        QByteArray temp;
        const Step made = copyLinkToTemp(src, folder, temp);
        if (made.status != FileOpStatus::Done)
            return made;
        const int rc =
            replace ? ::rename(temp.constData(), dst.constData()) : renameNoReplace(temp.constData(), dst.constData());
        if (rc != 0) {
            const int err = errno;
            ::unlink(temp.constData());
            return failedErrno(err);
        }
        return {};
    }
    // Until it is complete the copy has no name, so neither a cancel nor a crash leaves a part behind.
    PendingFile copy;
    const Step made = copyToPending(src, folder, hooks, copy);
    if (made.status != FileOpStatus::Done)
        return made;
    if (!copy.publish(dst, replace))
        return failedErrno(errno);
    return {};
}

FileOpResult transfer(Op op, const QString& source, const QString& target, const FileOpHooks& hooks) {
    auto fail = [&](const QString& reason) {
        const QString text = op == Op::Copy ? QStringLiteral("Cannot copy \"%1\" to \"%2\". %3.")
                                            : QStringLiteral("Cannot move \"%1\" to \"%2\". %3.");
        return FileOpResult{FileOpStatus::Failed, text.arg(source, target, reason)};
    };
    const QByteArray src = encodeFileName(source);
    const QByteArray dst = encodeFileName(target);

    struct stat s {};
    if (::lstat(src.constData(), &s) != 0)
        return fail(qt_error_string(errno));
    if (!S_ISREG(s.st_mode) && !S_ISLNK(s.st_mode))
        return fail(S_ISDIR(s.st_mode) ? qt_error_string(EISDIR) : notCopyable());

    bool replace = false;
    struct stat t {};
    if (::lstat(dst.constData(), &t) == 0) {
        if (t.st_dev == s.st_dev && t.st_ino == s.st_ino)
            return fail(QStringLiteral("The source and the target are the same file"));
        if (S_ISDIR(t.st_mode))
            return fail(qt_error_string(EISDIR));
        const ConflictAnswer answer = hooks.onConflict ? hooks.onConflict(source, target) : ConflictAnswer::Skip;
        if (answer == ConflictAnswer::Skip)
            return {FileOpStatus::Skipped, {}};
        if (answer == ConflictAnswer::Cancel)
            return {FileOpStatus::Cancelled, {}};
        replace = true;
    } else if (errno != ENOENT) {
        return fail(qt_error_string(errno));
    }

    if (op == Op::Move) {
        const int rc =
            replace ? ::rename(src.constData(), dst.constData()) : renameNoReplace(src.constData(), dst.constData());
        if (rc == 0)
            return {};
        if (errno != EXDEV)
            return fail(qt_error_string(errno));
    }
    const Step copied = copyInto(src, s, dst, replace, hooks);
    if (copied.status == FileOpStatus::Failed)
        return fail(copied.reason);
    if (copied.status != FileOpStatus::Done)
        return {copied.status, {}};
    if (op == Op::Move && ::unlink(src.constData()) != 0) {
        return {FileOpStatus::Failed,
                QStringLiteral("\"%1\" was copied to \"%2\", but the original cannot be removed. %3.")
                    .arg(source, target, qt_error_string(errno))};
    }
    return {};
}

} // namespace

FileOpResult copyFile(const QString& source, const QString& target, const FileOpHooks& hooks) {
    return transfer(Op::Copy, source, target, hooks);
}

FileOpResult moveFile(const QString& source, const QString& target, const FileOpHooks& hooks) {
    return transfer(Op::Move, source, target, hooks);
}

qint64 fileSizeOf(const QString& path) {
    struct stat st {};
    return ::lstat(encodeFileName(path).constData(), &st) == 0 ? qint64(st.st_size) : 0;
}

} // namespace platform
