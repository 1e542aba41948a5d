#pragma once

#include "duplicates/ContentHash128.h"
#include "duplicates/FileFacts.h"

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Reads the files of a duplicate search on one worker thread, with buffers it keeps from file to
// file. Every file is opened without following a link (and never blocking, should a FIFO have taken
// its place) and checked against the facts it was found with once it has been read: a file that no
// longer matches them is reported as changed, never hashed as it now is. Files read whole are also
// checked when opened, so a changed file is not read to its end for nothing.
//
// A file is named by a folder descriptor and a name in it, or by AT_FDCWD and its path.
class DuplicateReader {
public:
    enum class Status : quint8 {
        Done,
        Failed,    // a call failed; error holds its errno
        Changed,   // the file is no longer what its facts say
        Cancelled, // the search was cancelled during the read
    };
    struct Outcome {
        Hash128 hash;
        int error = 0;
        Status status = Status::Done;
    };

    // The quick hash reads a file's first and last kQuickPiece bytes, which cover a file of up to
    // kWholeUpTo bytes whole.
    static constexpr qint64 kQuickPiece = 64 * 1024;
    static constexpr qint64 kWholeUpTo = 2 * kQuickPiece;

    // Reads whole files in pieces of readSize bytes (at least kWholeUpTo); stops between reads once
    // cancelled is set; adds the bytes it reads to bytesRead.
    DuplicateReader(qint64 readSize, const std::atomic<bool>& cancelled, std::atomic<qint64>& bytesRead);
    ~DuplicateReader();
    DuplicateReader(const DuplicateReader&) = delete;
    DuplicateReader& operator=(const DuplicateReader&) = delete;

    // The hash of the first and last 64 KiB of the file; of the whole file when it has at most
    // kWholeUpTo bytes, so that hash decides for it.
    Outcome quickHash(int folder, const char* name, const FileFacts& facts);
    // The hash of the whole file, read in large sequential pieces.
    Outcome fullHash(int folder, const char* name, const FileFacts& facts);

    // Sorts files of equal size, given by path, into sets of equal bytes: labels[i] is the set of
    // file i, shared by every file of the same bytes; -1 for a file equal to no other, or one that
    // could not be compared (outcomes[i] says why). Each file is compared with the first of those
    // still unsorted, so files whose hashes agreed (the usual case) are read twice in all.
    // beforeOpen(i) is called before file i is opened.
    void sortByBytes(const std::vector<const char*>& paths, const std::vector<const FileFacts*>& facts,
                     const std::function<void(size_t)>& beforeOpen, std::vector<int>& labels,
                     std::vector<Outcome>& outcomes);

    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    // Opens the file for reading, checked against facts when check is set: the descriptor, or -1
    // with outcome telling why.
    int open(int folder, const char* name, const FileFacts& facts, bool check, Outcome& outcome);
    // Whether the open file still matches facts; sets outcome when it does not.
    bool stillMatches(int fd, const FileFacts& facts, Outcome& outcome);
    // Whether the open files a and b, both of facts' size, hold the same bytes; both are read
    // through and checked against their facts. When either fails, false, and its outcome says why.
    bool sameBytes(int a, const FileFacts& factsA, Outcome& outcomeA, int b, const FileFacts& factsB,
                   Outcome& outcomeB);
    // Buffer which (0 or 1), of at least size bytes.
    char* buffer(int which, qint64 size);
    // Reads exactly size bytes at offset into data; false with outcome set when it cannot.
    bool readAt(int fd, char* data, qint64 size, qint64 offset, Outcome& outcome);

    const qint64 m_readSize;
    const std::atomic<bool>& m_cancelled;
    std::atomic<qint64>& m_bytesRead;
    std::unique_ptr<char[]> m_buffers[2];
    qint64 m_bufferSizes[2] = {0, 0};
    std::unique_ptr<ContentHash128> m_hash;
    // O_NOATIME spares a write per file, but only the owner (or root) may ask for it; after the
    // first refusal this reader stops asking.
    bool m_noAtime = true;
};
