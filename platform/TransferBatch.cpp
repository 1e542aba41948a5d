#include "platform/TransferBatch.h"

#include "platform/ContentHash.h"
#include "platform/FileName.h"
#include "platform/PendingFile.h"
#include "platform/PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kMostWaitingFiles = 512;
constexpr qint64 kMostWaitingBytes = 64 << 20;

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

QString notCopyable() {
    return QStringLiteral("Only files and links can be copied");
}

// How a path is compared with the waiting names: folded and composed, since FAT, NTFS and
// case-folding ext4 folders take names that differ only so for one file.
QString nameKey(const QString& path) {
    return path.normalized(QString::NormalizationForm_C).toCaseFolded();
}

// Whether syncfs writes every dirty file of fd's file system and flushes the device's cache, and
// reports a failed write-back (since Linux 5.8). FUSE and network file systems may only pass the
// data on, and FAT does not flush the cache, so those get one fsync per file.
bool flushesTogether(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

int defaultFileLimit() {
    // A quarter of the open-file limit, so the rest of the program never runs short.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostWaitingFiles;
    return int(std::clamp<rlim_t>(limit.rlim_cur / 4, 1, kMostWaitingFiles));
}

// A copy of the link src (the link itself, not what it points to) in a new temporary name of
// folder; an errno, or 0.
int copyLinkToTemp(const QByteArray& src, const QByteArray& folder, QByteArray& temp) {
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t len = ::readlink(src.constData(), target.data(), size_t(target.size()));
    if (len < 0)
        return errno;
    target.truncate(len);
    for (int n = 0; n < 1000; ++n) {
        const QByteArray name =
            joinPath(folder, ".trovex-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(n));
        if (::symlink(target.constData(), name.constData()) == 0) {
            temp = name;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// Copies the link src to dst at once, replacing dst only when replace is set; an errno, or 0.
int copyLink(const QByteArray& src, const QByteArray& dst, bool replace) {
    QByteArray temp;
    if (const int err = copyLinkToTemp(src, parentPath(dst), temp))
        return err;
    const int rc =
        replace ? ::rename(temp.constData(), dst.constData()) : renameNoReplace(temp.constData(), dst.constData());
    if (rc == 0)
        return 0;
    const int err = errno;
    ::unlink(temp.constData());
    return err;
}

} // namespace

// A complete copy that has no name yet.
struct TransferBatch::Waiting {
    QString source;
    QString target;
    QByteArray src;
    QByteArray dst;
    bool replace = false;
    PendingFile file;
    qint64 size = 0;
    dev_t device = 0;
    std::optional<quint64> hash; // of what was read, for a move that reads its copy back
    struct stat before {};       // the source as the copy began, for a move
};

namespace {

// Whether the file at path is still the one described by before, unchanged: a move removes its
// source only then. A comparison of what the system says of the file, not a second read, so moves
// keep their speed.
bool unchangedSince(const QByteArray& path, const struct stat& before, int& error) {
    struct stat now {};
    if (::lstat(path.constData(), &now) != 0) {
        error = errno;
        return false;
    }
    error = 0;
    return now.st_dev == before.st_dev && now.st_ino == before.st_ino && now.st_size == before.st_size &&
           now.st_mtim.tv_sec == before.st_mtim.tv_sec && now.st_mtim.tv_nsec == before.st_mtim.tv_nsec &&
           now.st_ctim.tv_sec == before.st_ctim.tv_sec && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec;
}

} // namespace

TransferBatch::TransferBatch(Kind kind, ResultSink sink)
    : m_kind(kind), m_sink(std::move(sink)), m_maxFiles(defaultFileLimit()), m_maxBytes(kMostWaitingBytes) {}

TransferBatch::~TransferBatch() = default;

void TransferBatch::setLimits(int files, qint64 bytes) {
    m_maxFiles = std::max(files, 1);
    m_maxBytes = bytes;
}

FileOpResult TransferBatch::failure(const QString& source, const QString& target, const QString& reason) const {
    const QString text = m_kind == Kind::Copy ? QStringLiteral("Cannot copy \"%1\" to \"%2\". %3.")
                                              : QStringLiteral("Cannot move \"%1\" to \"%2\". %3.");
    return {FileOpStatus::Failed, text.arg(source, target, reason)};
}

bool TransferBatch::add(const QString& source, const QString& target, const FileOpHooks& hooks) {
    return add(encodeFileName(source), encodeFileName(target), hooks);
}

bool TransferBatch::add(const QByteArray& src, const QByteArray& dst, const FileOpHooks& hooks) {
    // A waiting file is not on the disk yet: publish it first, so the checks below see it.
    if (m_waitingNames.contains(nameKey(decodeFileName(src))) || m_waitingNames.contains(nameKey(decodeFileName(dst))))
        finish();
    const std::optional<FileOpResult> done = transfer(src, dst, hooks);
    if (done)
        m_sink(decodeFileName(src), *done);
    if (!m_waiting.empty() && (int(m_waiting.size()) >= m_maxFiles || m_waitingBytes >= m_maxBytes))
        finish();
    return !done || done->status != FileOpStatus::Cancelled;
}

std::optional<FileOpResult> TransferBatch::transfer(const QByteArray& src, const QByteArray& dst,
                                                    const FileOpHooks& hooks) {
    // The paths as texts for the messages and the questions alone; the files are reached by their bytes.
    const QString source = decodeFileName(src);
    const QString target = decodeFileName(dst);
    auto fail = [&](const QString& reason) { return failure(source, target, reason); };

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
        if (answer == ConflictAnswer::Skip || answer == ConflictAnswer::SkipAll)
            return FileOpResult{FileOpStatus::Skipped, {}};
        if (answer == ConflictAnswer::Cancel)
            return FileOpResult{FileOpStatus::Cancelled, {}};
        replace = true;
    } else if (errno != ENOENT) {
        return fail(qt_error_string(errno));
    }

    if (m_kind == Kind::Move) {
        const int rc =
            replace ? ::rename(src.constData(), dst.constData()) : renameNoReplace(src.constData(), dst.constData());
        if (rc == 0)
            return FileOpResult{};
        if (errno != EXDEV)
            return fail(qt_error_string(errno));
    }
    if (S_ISLNK(s.st_mode)) {
        if (const int err = copyLink(src, dst, replace))
            return fail(qt_error_string(err));
        if (m_kind == Kind::Move && ::unlink(src.constData()) != 0)
            return FileOpResult{FileOpStatus::Failed,
                                QStringLiteral("\"%1\" was copied to \"%2\", but the original cannot be removed. %3.")
                                    .arg(source, target, qt_error_string(errno))};
        return FileOpResult{};
    }
    return copyRegular(source, target, src, dst, replace, hooks);
}

std::optional<FileOpResult> TransferBatch::copyRegular(const QString& source, const QString& target,
                                                       const QByteArray& src, const QByteArray& dst, bool replace,
                                                       const FileOpHooks& hooks) {
    auto fail = [&](int err) { return failure(source, target, err ? qt_error_string(err) : notCopyable()); };
    FdGuard in(::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!in.isValid())
        return fail(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(0);

    // Until it is published the copy has no name, so neither a cancel nor a crash leaves a part behind.
    auto waiting = std::make_unique<Waiting>();
    PendingFile& out = waiting->file;
    if (!out.create(parentPath(dst), 0600))
        return fail(errno);
    std::optional<ContentHash> hash;
    if (m_kind == Kind::Move)
        hash.emplace();
    const FileDataCopier::Result copied = m_copier.copy(in.get(), out.fd(), hooks.onProgress, hash ? &*hash : nullptr);
    if (copied.cancelled)
        return FileOpResult{FileOpStatus::Cancelled, {}};
    if (copied.error != 0)
        return fail(copied.error);
    // A file system without permission bits or times still gets the data, so these may fail.
    (void)::fchmod(out.fd(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    (void)::futimens(out.fd(), times);
    struct stat made {};
    if (::fstat(out.fd(), &made) != 0)
        return fail(errno);

    waiting->source = source;
    waiting->target = target;
    waiting->src = src;
    waiting->dst = dst;
    waiting->replace = replace;
    waiting->size = copied.size;
    waiting->device = made.st_dev;
    waiting->before = st;
    if (hash)
        waiting->hash = hash->value();
    m_waitingNames.insert(nameKey(source));
    m_waitingNames.insert(nameKey(target));
    m_waitingBytes += copied.size;
    m_waiting.push_back(std::move(waiting));
    return std::nullopt;
}

FileOpResult TransferBatch::publish(Waiting& w, int flushError) {
    auto fail = [&](int err) { return failure(w.source, w.target, qt_error_string(err)); };
    if (flushError != 0)
        return fail(flushError);
    if (w.hash) {
        // Read the copy back from the medium rather than the cache before the source goes.
        (void)::posix_fadvise(w.file.fd(), 0, 0, POSIX_FADV_DONTNEED);
        ContentHash back;
        const qint64 size = m_copier.hashContent(w.file.fd(), back);
        if (size < 0)
            return fail(errno);
        if (size != w.size || back.value() != *w.hash)
            return failure(w.source, w.target, QStringLiteral("The copy does not match the original"));
    }
    if (!w.file.close())
        return fail(errno);
    if (!w.file.publish(w.dst, w.replace))
        return fail(errno);
    if (m_kind != Kind::Move)
        return {};
    // Written to while it was copied: what was added since is only in the source, so both stay.
    int error = 0;
    if (!unchangedSince(w.src, w.before, error) && error == 0) {
        return {FileOpStatus::Failed,
                QStringLiteral("\"%1\" changed while it was moved; both copies kept.").arg(w.source)};
    }
    if (error != 0 || ::unlink(w.src.constData()) != 0) {
        return {FileOpStatus::Failed,
                QStringLiteral("\"%1\" was copied to \"%2\", but the original cannot be removed. %3.")
                    .arg(w.source, w.target, qt_error_string(error != 0 ? error : errno))};
    }
    return {};
}

void TransferBatch::finish() {
    if (m_waiting.empty())
        return;
    std::vector<std::unique_ptr<Waiting>> files = std::move(m_waiting);
    m_waiting.clear();
    m_waitingNames.clear();
    m_waitingBytes = 0;

    // Flush each file system's files together where one call does it for all, else one by one.
    std::vector<int> flushErrors(files.size(), 0);
    std::vector<bool> flushed(files.size(), false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (flushed[i])
            continue;
        std::vector<std::size_t> group;
        for (std::size_t j = i; j < files.size(); ++j) {
            if (!flushed[j] && files[j]->device == files[i]->device)
                group.push_back(j);
        }
        const int fd = files[i]->file.fd();
        // A lone file is flushed by itself, so it does not wait for other programs' data.
        const bool together = group.size() > 1 && flushesTogether(fd) && ::syncfs(fd) == 0;
        for (const std::size_t j : group) {
            flushed[j] = true;
            // After a failed syncfs, each file's own fsync tells whose write failed.
            if (!together && ::fsync(files[j]->file.fd()) != 0)
                flushErrors[j] = errno;
        }
    }

    std::vector<std::pair<QString, FileOpResult>> results;
    results.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        results.emplace_back(files[i]->source, publish(*files[i], flushErrors[i]));
        files[i].reset();
    }
    files.clear();
    // Reported only now: the sink may show a message, and the batch is consistent again.
    for (const auto& [source, result] : results)
        m_sink(source, result);
}

} // namespace platform
