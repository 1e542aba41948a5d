#include "duplicates/DuplicateReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

DuplicateReader::Outcome failed(int error) {
    DuplicateReader::Outcome o;
    o.status = DuplicateReader::Status::Failed;
    o.error = error;
    return o;
}

DuplicateReader::Outcome changed() {
    DuplicateReader::Outcome o;
    o.status = DuplicateReader::Status::Changed;
    return o;
}

} // namespace

DuplicateReader::DuplicateReader(qint64 readSize, const std::atomic<bool>& cancelled, std::atomic<qint64>& bytesRead)
    : m_readSize(std::max(readSize, kWholeUpTo)), m_cancelled(cancelled), m_bytesRead(bytesRead) {}

DuplicateReader::~DuplicateReader() = default;

char* DuplicateReader::buffer(int which, qint64 size) {
    // Only as large as the step needs: the quick hash, which reads most files, needs 128 KiB.
    if (m_bufferSizes[which] < size) {
        m_buffers[which].reset();
        m_buffers[which] = std::make_unique_for_overwrite<char[]>(size_t(size));
        m_bufferSizes[which] = size;
    }
    return m_buffers[which].get();
}

int DuplicateReader::open(int folder, const char* name, const FileFacts& facts, bool check, Outcome& outcome) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    int fd = -1;
    do {
        fd = ::openat(folder, name, flags | (m_noAtime ? O_NOATIME : 0));
        if (fd < 0 && errno == EPERM && m_noAtime) {
            m_noAtime = false;
            fd = ::openat(folder, name, flags);
        }
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // With O_NOFOLLOW a link where the file was is ELOOP: the file is gone, not unreadable.
        outcome = errno == ELOOP ? changed() : failed(errno);
        return -1;
    }
    if (check && !stillMatches(fd, facts, outcome)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool DuplicateReader::stillMatches(int fd, const FileFacts& facts, Outcome& outcome) {
    FileFacts now;
    if (!FileFacts::fstat(fd, now)) {
        outcome = failed(errno);
        return false;
    }
    if (now != facts) {
        outcome = changed();
        return false;
    }
    return true;
}

bool DuplicateReader::readAt(int fd, char* data, qint64 size, qint64 offset, Outcome& outcome) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            outcome = failed(errno);
            return false;
        }
        if (n == 0) { // shorter than its facts said: cut while being read
            outcome = changed();
            return false;
        }
        m_bytesRead.fetch_add(n, std::memory_order_relaxed);
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

DuplicateReader::Outcome DuplicateReader::quickHash(int folder, const char* name, const FileFacts& facts) {
    Outcome outcome;
    // One look after the read is enough: it tells whether what was read is the file of the facts.
    const Descriptor fd(open(folder, name, facts, false, outcome));
    if (fd.get() < 0)
        return outcome;
    char* data = buffer(0, kWholeUpTo);
    const bool whole = facts.size <= kWholeUpTo;
    const qint64 length = whole ? facts.size : 2 * kQuickPiece;
    const bool read = whole ? readAt(fd.get(), data, facts.size, 0, outcome)
                            : readAt(fd.get(), data, kQuickPiece, 0, outcome) &&
                                  readAt(fd.get(), data + kQuickPiece, kQuickPiece, facts.size - kQuickPiece, outcome);
    // A read that failed on something that is no longer the file (a FIFO in its place) is a change.
    if (!stillMatches(fd.get(), facts, outcome) || !read)
        return outcome;
    outcome.hash = ContentHash128::of(data, qsizetype(length));
    return outcome;
}

DuplicateReader::Outcome DuplicateReader::fullHash(int folder, const char* name, const FileFacts& facts) {
    Outcome outcome;
    const Descriptor fd(open(folder, name, facts, true, outcome));
    if (fd.get() < 0)
        return outcome;
    // Read ahead further than usual: the whole file is wanted, in order.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!m_hash)
        m_hash = std::make_unique<ContentHash128>();
    m_hash->reset();
    char* data = buffer(0, m_readSize);
    for (qint64 offset = 0; offset < facts.size;) {
        if (isCancelled()) {
            outcome.status = Status::Cancelled;
            return outcome;
        }
        const qint64 n = std::min(m_readSize, facts.size - offset);
        if (!readAt(fd.get(), data, n, offset, outcome))
            return outcome;
        m_hash->add(data, qsizetype(n));
        offset += n;
    }
    if (!stillMatches(fd.get(), facts, outcome))
        return outcome;
    outcome.hash = m_hash->value();
    return outcome;
}

bool DuplicateReader::sameBytes(int a, const FileFacts& factsA, Outcome& outcomeA, int b, const FileFacts& factsB,
                                Outcome& outcomeB) {
    Q_ASSERT(factsA.size == factsB.size);
    ::posix_fadvise(a, 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(b, 0, 0, POSIX_FADV_SEQUENTIAL);
    char* dataA = buffer(0, m_readSize);
    char* dataB = buffer(1, m_readSize);
    for (qint64 offset = 0; offset < factsA.size;) {
        if (isCancelled()) {
            outcomeA.status = Status::Cancelled;
            outcomeB.status = Status::Cancelled;
            return false;
        }
        const qint64 n = std::min(m_readSize, factsA.size - offset);
        if (!readAt(a, dataA, n, offset, outcomeA) || !readAt(b, dataB, n, offset, outcomeB))
            return false;
        if (std::memcmp(dataA, dataB, size_t(n)) != 0) {
            // Different, unless one of them changed while it was read: that one is reported then.
            stillMatches(a, factsA, outcomeA);
            stillMatches(b, factsB, outcomeB);
            return false;
        }
        offset += n;
    }
    return stillMatches(a, factsA, outcomeA) && stillMatches(b, factsB, outcomeB);
}

void DuplicateReader::sortByBytes(const std::vector<const char*>& paths, const std::vector<const FileFacts*>& facts,
                                  const std::function<void(size_t)>& beforeOpen, std::vector<int>& labels,
                                  std::vector<Outcome>& outcomes) {
    const size_t n = paths.size();
    labels.assign(n, -1);
    outcomes.assign(n, Outcome());
    std::vector<size_t> pending(n);
    for (size_t i = 0; i < n; ++i)
        pending[i] = i;
    int nextLabel = 0;
    while (pending.size() >= 2 && !isCancelled()) {
        const size_t r = pending.front();
        if (beforeOpen)
            beforeOpen(r);
        const Descriptor ref(open(AT_FDCWD, paths[r], *facts[r], true, outcomes[r]));
        if (ref.get() < 0) {
            pending.erase(pending.begin());
            continue;
        }
        std::vector<size_t> same{r};
        std::vector<size_t> rest;
        bool refFailed = false;
        for (size_t k = 1; k < pending.size(); ++k) {
            const size_t m = pending[k];
            if (refFailed || isCancelled()) {
                rest.push_back(m);
                continue;
            }
            if (beforeOpen)
                beforeOpen(m);
            const Descriptor fd(open(AT_FDCWD, paths[m], *facts[m], true, outcomes[m]));
            if (fd.get() < 0)
                continue; // in no set; its outcome says why
            Outcome refOutcome;
            const bool equal = sameBytes(ref.get(), *facts[r], refOutcome, fd.get(), *facts[m], outcomes[m]);
            if (refOutcome.status != Status::Done) {
                outcomes[r] = refOutcome;
                refFailed = true;
                if (outcomes[m].status == Status::Done)
                    rest.push_back(m);
                continue;
            }
            if (outcomes[m].status != Status::Done)
                continue;
            (equal ? same : rest).push_back(m);
        }
        if (refFailed) {
            // What was found equal to a file that then failed is compared again among the rest.
            rest.insert(rest.end(), same.begin() + 1, same.end());
            std::sort(rest.begin(), rest.end());
        } else if (same.size() >= 2) {
            for (const size_t m : same)
                labels[m] = nextLabel;
            ++nextLabel;
        }
        pending = std::move(rest);
    }
}
