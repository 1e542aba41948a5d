#pragma once

#include "platform/FileDataCopier.h"
#include "platform/FileOperations.h"

#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The copies or moves of one command. Each file is copied as copyFile and moveFile describe, but
// a copied file may wait, complete and without a name, until the batch flushes: the data of many
// files then reaches the disk together (one syncfs where the file system flushes everything that
// way, one fsync each otherwise) before any of them gets its name, which costs far less than one
// flush per file. No file appears under its name before its data is on the disk; a killed command
// leaves none of its unpublished files behind. A move across file systems reads each copy back
// from the disk, compares it with what it read from the source, and only then removes the source.
class TransferBatch {
public:
    enum class Kind { Copy, Move };
    // Told the outcome of each file once it is final: at once for a rename, a skip, a failure
    // before the copy or a cancel; when the batch flushes for a copied file.
    using ResultSink = std::function<void(const QString& source, const FileOpResult& result)>;

    TransferBatch(Kind kind, ResultSink sink);
    // Files still waiting are dropped unpublished and unreported: finish() publishes them.
    ~TransferBatch();
    TransferBatch(const TransferBatch&) = delete;
    TransferBatch& operator=(const TransferBatch&) = delete;

    // Copies or moves source to the path target. An existing target is handled as hooks'
    // onConflict says (ReplaceAll and SkipAll count as Replace and Skip here; remembering them is
    // the caller's business); a target or source that is still waiting in the batch is published
    // first, so the question sees it. False when the file was cancelled: the caller should not go
    // on, and should call finish() for the files before it.
    bool add(const QByteArray& source, const QByteArray& target, const FileOpHooks& hooks = {});
    bool add(const QString& source, const QString& target, const FileOpHooks& hooks = {});

    // Flushes and publishes every waiting file, in the order they were added, and reports each.
    void finish();

    // The batch flushes by itself once this many files or bytes wait. The files' descriptors stay
    // open until then, so the count stays well inside the process's limit of open files.
    void setLimits(int files, qint64 bytes);
    // For tests: false makes every copy take the read/write loop.
    void setKernelCopyAllowed(bool allowed) { m_copier.setKernelCopyAllowed(allowed); }

private:
    struct Waiting;

    // The outcome, or nothing when the copy waits in the batch.
    std::optional<FileOpResult> transfer(const QByteArray& src, const QByteArray& dst, const FileOpHooks& hooks);
    std::optional<FileOpResult> copyRegular(const QString& source, const QString& target, const QByteArray& src,
                                            const QByteArray& dst, bool replace, const FileOpHooks& hooks);
    // Names a flushed copy (flushError the errno of its flush, or 0) and removes a moved source.
    FileOpResult publish(Waiting& file, int flushError);
    FileOpResult failure(const QString& source, const QString& target, const QString& reason) const;

    Kind m_kind;
    ResultSink m_sink;
    FileDataCopier m_copier;
    std::vector<std::unique_ptr<Waiting>> m_waiting;
    QSet<QString> m_waitingNames; // targets and sources of the waiting files, as nameKey makes them
    qint64 m_waitingBytes = 0;
    int m_maxFiles;
    qint64 m_maxBytes;
};

} // namespace platform
