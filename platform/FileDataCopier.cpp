#include "platform/FileDataCopier.h"

#include "platform/ContentHash.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr qint64 kToTheEnd = std::numeric_limits<qint64>::max();

// Fewer blocks than bytes means holes, the test cp makes too; only then is it worth asking for them.
bool looksSparse(const struct stat& st) {
    return qint64(st.st_blocks) * 512 < qint64(st.st_size);
}

// The next run of data at or after pos: [start, end), end kToTheEnd where the file system does not
// tell holes apart (sparse is cleared then). False at the end with errno 0, or with errno set.
bool nextData(int fd, bool& sparse, qint64 pos, qint64& start, qint64& end) {
    start = pos;
    end = kToTheEnd;
    if (!sparse)
        return true;
    const off_t data = ::lseek(fd, pos, SEEK_DATA);
    if (data < 0) {
        if (errno == ENXIO) {
            errno = 0; // only a hole is left
            return false;
        }
        if (errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        sparse = false;
        return true;
    }
    const off_t hole = ::lseek(fd, data, SEEK_HOLE);
    if (hole < 0)
        return false;
    start = data;
    end = hole;
    return true;
}

// copy_file_range's ways of saying "not between these two files": another file system (before
// Linux 5.3 and again since 5.19 between different kinds), a file system or kernel without it, an
// append-only target, a seccomp filter, some network shares.
bool isRefusal(int err) {
    switch (err) {
    case EXDEV:
    case EINVAL:
    case EOPNOTSUPP:
    case ENOSYS:
    case EBADF:
    case EPERM:
    case ETXTBSY:
    case ENOENT:
        return true;
    default:
        return false;
    }
}

bool writeAllAt(int fd, const char* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        offset += n;
        size -= n;
    }
    return true;
}

ssize_t readAt(int fd, char* data, qint64 size, qint64 offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, data, size_t(size), off_t(offset));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

FileDataCopier::Result failed(int err) {
    FileDataCopier::Result result;
    result.error = err;
    return result;
}

} // namespace

FileDataCopier::FileDataCopier() = default;
FileDataCopier::~FileDataCopier() = default;

char* FileDataCopier::buffer() {
    // Uninitialised, and only once a file needs it: copy_file_range needs none.
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    return m_buffer.get();
}

ssize_t FileDataCopier::copyPiece(int in, int out, qint64 pos, qint64 want, bool& kernel, Result& result,
                                  ContentHash* hash) {
    for (;;) {
        if (kernel) {
            off64_t from = pos;
            off64_t to = pos;
            const ssize_t n = ::copy_file_range(in, &from, out, &to, size_t(want), 0);
            if (n < 0 && errno == EINTR)
                continue;
            // Refused before it copied anything: the loop copies instead. Nothing copied at all may
            // also be a file whose size its file system does not know (/proc).
            if (!result.usedKernelCopy && ((n < 0 && isRefusal(errno)) || n == 0)) {
                kernel = false;
                continue;
            }
            if (n > 0)
                result.usedKernelCopy = true;
            return n;
        }
        char* data = buffer();
        const ssize_t n = readAt(in, data, want, pos);
        if (n > 0 && !writeAllAt(out, data, n, pos))
            return -1;
        if (n > 0 && hash)
            hash->add(data, n);
        return n;
    }
}

FileDataCopier::Result FileDataCopier::copy(int in, int out, const Progress& progress, ContentHash* hash) {
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return failed(errno);
    const qint64 total = st.st_size;
    auto goOn = [&](qint64 done) { return !progress || progress(done, total); };
    Result result;
    auto cancelled = [&result] {
        result.cancelled = true;
        return result;
    };
    // The hash must see the bytes, so a hashed copy goes through this process.
    bool kernel = m_kernelCopyAllowed && !hash;
    bool sparse = looksSparse(st);
    qint64 pos = 0;
    for (;;) {
        qint64 start = 0;
        qint64 end = 0;
        if (!nextData(in, sparse, pos, start, end)) {
            if (errno != 0)
                return failed(errno);
            break;
        }
        if (start > pos) {
            if (hash)
                hash->addZeros(start - pos);
            pos = start;
            if (!goOn(pos))
                return cancelled();
        }
        bool atEnd = false;
        while (pos < end) {
            const ssize_t n = copyPiece(in, out, pos, std::min(kChunk, end - pos), kernel, result, hash);
            if (n < 0)
                return failed(errno);
            if (n == 0) {
                atEnd = true;
                break;
            }
            pos += n;
            if (!goOn(pos))
                return cancelled();
        }
        if (atEnd || !sparse) {
            result.size = pos;
            return result;
        }
    }
    // The file ends in a hole: the copy gets the same length without blocks.
    if (::fstat(in, &st) != 0)
        return failed(errno);
    if (st.st_size > pos) {
        if (::ftruncate(out, off_t(st.st_size)) != 0)
            return failed(errno);
        if (hash)
            hash->addZeros(st.st_size - pos);
        pos = st.st_size;
        if (!goOn(pos))
            return cancelled();
    }
    result.size = pos;
    return result;
}

qint64 FileDataCopier::hashContent(int fd, ContentHash& hash) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    bool sparse = looksSparse(st);
    qint64 pos = 0;
    for (;;) {
        qint64 start = 0;
        qint64 end = 0;
        if (!nextData(fd, sparse, pos, start, end)) {
            if (errno != 0)
                return -1;
            break;
        }
        hash.addZeros(start - pos);
        pos = start;
        while (pos < end) {
            char* data = buffer();
            const ssize_t n = readAt(fd, data, std::min(kChunk, end - pos), pos);
            if (n < 0)
                return -1;
            if (n == 0)
                return pos;
            hash.add(data, n);
            pos += n;
        }
        if (!sparse)
            return pos;
    }
    if (st.st_size > pos) {
        hash.addZeros(st.st_size - pos);
        pos = st.st_size;
    }
    return pos;
}

} // namespace platform
