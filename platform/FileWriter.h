#pragma once

#include "platform/PendingFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>
#include <sys/types.h>

namespace platform {

// The steps of writing a file that the system can refuse.
enum class WriteStep { Write, Flush, Sync, Close };

// The one way Trovex writes a file. What is written collects in a buffer; each flush hands it to
// the system in write() calls checked to the last byte, and commit() flushes, syncs a regular file
// before it gets its name, checks close(), publishes it and then syncs its folder. Any failure
// keeps the system's reason (error(), errorString()), ends the file unpublished and leaves what
// stood at the name as it was. Nothing trusts a later call to report an earlier failure.
//
// Three ways to start, by who names the target:
// - create(): a name the user chose. What the name opens decides: a regular file is replaced whole
//   or not at all, keeping its permission bits (and owner, where the process may); a symbolic link
//   to one is followed, the file it points to is replaced and the link stays; a new name gets a new
//   file. Anything that is not a regular file (a FIFO, a device, a terminal, or a name reached
//   through /proc/self/fd such as /dev/stdout) is written where it stands, never replaced, removed
//   or synced; a FIFO that no program reads is refused rather than waited for. Refused with their
//   reason: a link to nothing, a loop of links, a folder, a socket, and a read-only file (also for
//   root).
// - createNew(): a file for a folder, named later by publish(), which never replaces anything.
// - createIn(): a file named name in a folder held open by its descriptor, reached without
//   following a link: a link or anything but a regular file at the name is refused.
//
// A test seam (failNext) makes a chosen step fail with a chosen errno, in every writer of the
// process, the way a full or broken disk fails it.
class FileWriter final : public QIODevice {
public:
    FileWriter();
    // A file that was not committed is dropped; a target written in place keeps what it took.
    ~FileWriter() override;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    bool create(const QString& path, mode_t newFileMode = 0666);
    bool createNew(const QString& folder, mode_t mode = 0666);
    bool createIn(int folderFd, const QByteArray& name, mode_t mode);

    // Writes everything out and gives the file its name (create() and createIn()). False with the
    // reason when any step failed; the file then never takes the name.
    bool commit();
    // For createNew(): writes everything out and syncs it, without a name yet.
    bool finish();
    // For createNew(), after finish(): the name path, in the folder the file was made in, unless
    // something stands there (error() EEXIST then; another name may be tried).
    bool publish(const QString& path);

    // The errno of the first failure, or 0.
    int error() const { return m_error; }
    // Whether the target is written where it stands (a FIFO, a device, an open descriptor).
    bool writesInPlace() const { return m_inPlace; }

    bool isSequential() const override { return m_inPlace; }
    bool seek(qint64 pos) override;
    qint64 size() const override { return m_size; }

    // The seam for tests: the nth call of step from now on, counted over every writer of the
    // process, fails with errno error, once. nth 0 disarms it.
    static void failNext(WriteStep step, int nth, int error);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool start(const QByteArray& folder, int folderFd, const QByteArray& name, mode_t mode, bool replace);
    bool startInPlace(int fd);
    bool flushBuffer();
    bool writeOut(const char* data, qint64 size, qint64 offset);
    bool closeFile();
    bool fail(int error, const QString& reason = {});

    std::unique_ptr<PendingFile> m_pending;
    int m_fd = -1; // in place only; a pending file holds its own
    bool m_inPlace = false;
    bool m_replace = false;
    bool m_finished = false;
    QByteArray m_name; // the name the file takes in its folder
    QByteArray m_buffer;
    qint64 m_bufferAt = 0;
    qint64 m_size = 0;
    int m_error = 0;
};

} // namespace platform
