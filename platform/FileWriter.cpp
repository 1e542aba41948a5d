#include "platform/FileWriter.h"

#include "platform/FileName.h"
#include "platform/PosixFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/magic.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

// Enough to make a few system calls of a large output, and one of a small one.
constexpr qsizetype kBufferSize = 256 * 1024;

struct Fault {
    WriteStep step = WriteStep::Write;
    int left = 0;
    int error = 0;
};
std::atomic<bool> faultArmed{false};
std::mutex faultMutex;
Fault fault;

// True, with errno set, when the seam fails this step.
bool injected(WriteStep step) {
    if (!faultArmed.load(std::memory_order_acquire))
        return false;
    std::lock_guard lock(faultMutex);
    if (fault.left <= 0 || fault.step != step || --fault.left > 0)
        return false;
    faultArmed.store(false, std::memory_order_release);
    errno = fault.error;
    return true;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral(".") : slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray lastLevel(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Where a name leads through /proc: its own descriptors, or any file the process file system
// names. Each link on the way is read by hand, since the folder it lies in decides.
struct ProcRoute {
    bool throughProc = false;
    int ownFd = -1; // a descriptor of this process open for writing that the name stands for
};

ProcRoute routeOf(const QByteArray& name) {
    ProcRoute route;
    const QByteArray self = "/proc/" + QByteArray::number(::getpid()) + "/fd";
    QByteArray current = name;
    for (int hop = 0; hop < 40; ++hop) {
        const QByteArray folder = parentOf(current);
        struct statfs fs {};
        if (::statfs(folder.constData(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
            route.throughProc = true;
            char real[PATH_MAX];
            bool isNumber = false;
            const int fd = lastLevel(current).toInt(&isNumber);
            if (::realpath(folder.constData(), real) && self == real && isNumber) {
                const int flags = ::fcntl(fd, F_GETFL);
                if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && !(flags & O_PATH))
                    route.ownFd = fd;
            }
            return route;
        }
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return route;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(current.constData(), target.data(), size_t(target.size()));
        if (n <= 0)
            return route;
        target.truncate(n);
        current = target.startsWith('/') ? target : folder + '/' + target;
    }
    return route;
}

// The file a name leads to, every link resolved, checked to be the one open at fd.
QByteArray resolvedPath(const QByteArray& name, const struct stat& opened) {
    char real[PATH_MAX];
    if (!::realpath(name.constData(), real))
        return {};
    struct stat st {};
    if (::stat(real, &st) != 0 || st.st_dev != opened.st_dev || st.st_ino != opened.st_ino)
        return {};
    return QByteArray(real);
}

// A write to a pipe whose reader went away raises SIGPIPE, which would end the program: while
// this guard lives the write fails with EPIPE instead, and a signal it raised is taken back.
class NoBrokenPipeSignal {
public:
    NoBrokenPipeSignal() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        m_hadPending = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~NoBrokenPipeSignal() {
        sigset_t pending;
        if (!m_hadPending && ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
            const struct timespec none {};
            while (::sigtimedwait(&m_pipe, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    NoBrokenPipeSignal(const NoBrokenPipeSignal&) = delete;
    NoBrokenPipeSignal& operator=(const NoBrokenPipeSignal&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_hadPending = false;
};

} // namespace

void FileWriter::failNext(WriteStep step, int nth, int error) {
    std::lock_guard lock(faultMutex);
    fault = {step, nth, error};
    faultArmed.store(nth > 0, std::memory_order_release);
}

FileWriter::FileWriter() = default;

FileWriter::~FileWriter() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileWriter::fail(int error, const QString& reason) {
    if (m_error == 0) {
        m_error = error;
        setErrorString(reason.isEmpty() ? systemReason(error) : reason);
    }
    return false;
}

bool FileWriter::create(const QString& path, mode_t newFileMode) {
    const QByteArray name = encodeFileName(path);
    if (name.isEmpty())
        return fail(ENOENT);
    const ProcRoute route = routeOf(name);
    if (route.ownFd >= 0)
        return startInPlace(::fcntl(route.ownFd, F_DUPFD_CLOEXEC, 0));

    // What the name opens, looked at without opening it for anything.
    const int probe = ::open(name.constData(), O_PATH | O_CLOEXEC);
    if (probe < 0) {
        const int err = errno;
        struct stat link {};
        if (err == ENOENT && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return fail(ENOENT, QStringLiteral("It is a symbolic link to nothing"));
        if (err != ENOENT)
            return fail(err);
        return start(parentOf(name), -1, lastLevel(name), newFileMode, false);
    }
    struct stat st {};
    const bool known = ::fstat(probe, &st) == 0;
    const int statError = errno;
    ::close(probe);
    if (!known)
        return fail(statError);
    if (S_ISDIR(st.st_mode))
        return fail(EISDIR);
    if (S_ISSOCK(st.st_mode))
        return fail(ENXIO, QStringLiteral("It is a socket, which cannot be written as a file"));

    if (S_ISREG(st.st_mode) && !route.throughProc) {
        // Root may write anything; a file nobody may write is still refused, as a user expects.
        if ((st.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0)
            return fail(EACCES, QStringLiteral("The file is read-only"));
        const QByteArray target = resolvedPath(name, st);
        if (target.isEmpty())
            return fail(EAGAIN, QStringLiteral("The file changed while it was opened"));
        if (!start(parentOf(target), -1, lastLevel(target), st.st_mode & 07777, true))
            return false;
        // The new file keeps the old one's owner where the process may give it, then its bits
        // (a change of owner clears the set-user bits).
        (void)::fchown(m_pending->fd(), st.st_uid, st.st_gid);
        (void)::fchmod(m_pending->fd(), st.st_mode & 07777);
        return true;
    }

    // Written where it stands. Not blocking, so a FIFO without a reader is an error, not a hang.
    const int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (S_ISREG(st.st_mode) ? O_APPEND : 0);
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        if (errno == ENXIO && S_ISFIFO(st.st_mode))
            return fail(ENXIO, QStringLiteral("No program reads from the FIFO"));
        return fail(errno);
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        ::close(fd);
        return fail(EAGAIN, QStringLiteral("The file changed while it was opened"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return startInPlace(fd);
}

bool FileWriter::createNew(const QString& folder, mode_t mode) {
    return start(encodeFileName(folder), -1, {}, mode, false);
}

bool FileWriter::createIn(int folderFd, const QByteArray& name, mode_t mode) {
    struct stat st {};
    if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return fail(ELOOP);
        if (S_ISDIR(st.st_mode))
            return fail(EISDIR);
        if (!S_ISREG(st.st_mode))
            return fail(EINVAL);
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    return start({}, folderFd, name, mode, true);
}

bool FileWriter::start(const QByteArray& folder, int folderFd, const QByteArray& name, mode_t mode, bool replace) {
    Q_ASSERT(!isOpen());
    m_pending = std::make_unique<PendingFile>();
    const bool made = folderFd >= 0 ? m_pending->createIn(folderFd, mode) : m_pending->create(folder, mode);
    if (!made)
        return fail(errno);
    m_name = name;
    m_replace = replace;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

bool FileWriter::startInPlace(int fd) {
    Q_ASSERT(!isOpen());
    if (fd < 0)
        return fail(errno);
    m_fd = fd;
    m_inPlace = true;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

qint64 FileWriter::readData(char*, qint64) {
    return -1;
}

qint64 FileWriter::writeData(const char* data, qint64 size) {
    if (m_error != 0)
        return -1;
    const qint64 at = m_inPlace ? m_size : pos();
    // A write elsewhere than after the buffer (a seek back, as an archive does) goes out first.
    if (!m_buffer.isEmpty() && at != m_bufferAt + m_buffer.size() && !flushBuffer())
        return -1;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return -1;
    if (m_buffer.isEmpty())
        m_bufferAt = at;
    if (size >= kBufferSize) {
        if (!writeOut(data, size, at))
            return -1;
    } else {
        m_buffer.append(data, size);
    }
    m_size = std::max(m_size, at + size);
    return size;
}

bool FileWriter::seek(qint64 pos) {
    if (m_inPlace || pos < 0)
        return false;
    return QIODevice::seek(pos);
}

bool FileWriter::writeOut(const char* data, qint64 size, qint64 offset) {
    const int fd = m_inPlace ? m_fd : m_pending->fd();
    std::optional<NoBrokenPipeSignal> noSignal;
    if (m_inPlace)
        noSignal.emplace();
    for (qint64 done = 0; done < size;) {
        const ssize_t n = injected(WriteStep::Write) ? -1
                          : m_inPlace                ? ::write(fd, data + done, size_t(size - done))
                                                     : ::pwrite(fd, data + done, size_t(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            return fail(ENOSPC); // a file system that takes nothing and names no reason
        done += n;
    }
    return true;
}

bool FileWriter::flushBuffer() {
    if (m_error != 0)
        return false;
    if (injected(WriteStep::Flush))
        return fail(errno);
    const bool ok = m_buffer.isEmpty() || writeOut(m_buffer.constData(), m_buffer.size(), m_bufferAt);
    m_buffer.clear();
    return ok;
}

bool FileWriter::closeFile() {
    const bool failed = injected(WriteStep::Close);
    const int err = errno;
    if (m_inPlace) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            return fail(errno);
    } else if (!m_pending->close()) {
        return fail(errno);
    }
    return failed ? fail(err) : true;
}

bool FileWriter::finish() {
    if (m_finished || !isOpen())
        return m_error == 0 && m_finished;
    m_finished = true;
    bool ok = flushBuffer();
    // A regular file is on the disk before it has a name; a device or a pipe has nothing to sync.
    if (ok && !m_inPlace && (injected(WriteStep::Sync) || ::fsync(m_pending->fd()) != 0))
        ok = fail(errno);
    const bool closed = closeFile();
    QIODevice::close();
    return ok && closed;
}

bool FileWriter::publish(const QString& path) {
    Q_ASSERT(m_finished && !m_inPlace);
    if (m_error == EEXIST) {
        m_error = 0; // the name before was taken: this one is tried afresh
        setErrorString({});
    }
    if (m_error != 0)
        return false;
    if (!m_pending->publish(encodeFileName(path), false))
        return fail(errno);
    if (injected(WriteStep::Sync) || !m_pending->syncFolder())
        return fail(errno);
    return true;
}

bool FileWriter::commit() {
    if (!finish())
        return false;
    if (m_inPlace)
        return true;
    if (!m_pending->publish(m_name, m_replace))
        return fail(errno);
    // The name itself survives a crash only once the folder is on the disk too.
    if (injected(WriteStep::Sync) || !m_pending->syncFolder())
        return fail(errno);
    return true;
}

} // namespace platform
