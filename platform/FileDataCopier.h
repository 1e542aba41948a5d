#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace platform {

class ContentHash;

// Copies the bytes of one regular file into another the way the system copies best: by
// copy_file_range, which lets btrfs and XFS share extents and NFS copy on the server, and by a
// read/write loop where the kernel refuses it. Holes stay holes. Keeps one buffer for the loop, so
// one copier serves many files.
class FileDataCopier {
public:
    // Told the bytes of the file done so far (holes included) after each chunk of at most 1 MiB
    // and after each hole; returning false cancels.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    struct Result {
        int error = 0;               // errno of the failing call; 0 when the copy is complete
        bool cancelled = false;      // progress said stop
        qint64 size = 0;             // bytes of the copy, holes included
        bool usedKernelCopy = false; // some data went by copy_file_range
    };

    FileDataCopier();
    ~FileDataCopier();
    FileDataCopier(const FileDataCopier&) = delete;
    FileDataCopier& operator=(const FileDataCopier&) = delete;

    // False makes every copy take the read/write loop, as where copy_file_range is refused.
    void setKernelCopyAllowed(bool allowed) { m_kernelCopyAllowed = allowed; }

    // Copies the regular file open at in, from its start to its end, into the empty file open at
    // out, through the same offsets, so out's file position is not used. With hash, the data goes
    // through this process and is added to hash as it is copied (holes as zeros). After a failure
    // or a cancel, out holds a part.
    Result copy(int in, int out, const Progress& progress, ContentHash* hash = nullptr);

    // Adds the content of the file open at fd, from its start to its end, to hash (holes as
    // zeros, without reading them). The byte count, or -1 with errno set.
    qint64 hashContent(int fd, ContentHash& hash);

private:
    char* buffer();
    // Copies up to want bytes at pos, by the kernel while it takes them (kernel), else through the
    // buffer; the bytes copied, 0 at the end of the file, -1 with errno set.
    ssize_t copyPiece(int in, int out, qint64 pos, qint64 want, bool& kernel, Result& result, ContentHash* hash);

    std::unique_ptr<char[]> m_buffer;
    bool m_kernelCopyAllowed = true;
};

} // namespace platform
