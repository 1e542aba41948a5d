#include "export/ZipArchiveFile.h"

#include "export/ZipArchivePath.h"
#include "platform/FileName.h"
#include "platform/PendingFile.h"
#include "search/FileHelpers.h"

#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

[[noreturn]] void raise(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// The archive's file as a device. QFile reports a short write (a disk that fills up midway) as
// "Unknown error"; this one retries the rest and so reports the system's reason.
class FileDevice : public QIODevice {
public:
    explicit FileDevice(int fd) : m_fd(fd) { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    ~FileDevice() override { close(); }
    FileDevice(const FileDevice&) = delete;
    FileDevice& operator=(const FileDevice&) = delete;

    bool isSequential() const override { return false; }
    qint64 size() const override {
        struct stat st {};
        return ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : 0;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        for (;;) {
            const ssize_t n = ::pread(m_fd, data, size_t(maxSize), pos());
            if (n >= 0)
                return n;
            if (errno != EINTR)
                return failed(errno);
        }
    }
    qint64 writeData(const char* data, qint64 size) override {
        qint64 done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size_t(size - done), pos() + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return failed(errno);
            done += n;
        }
        return done;
    }

private:
    qint64 failed(int err) {
        setErrorString(systemReason(err));
        return -1;
    }

    int m_fd;
};

} // namespace

QString ZipArchiveFile::create(const QString& path, const QStringList& files, const ZipWriter::Progress& progress) {
    // 0666 before the umask, as any new file, rather than a temporary file's 0600.
    platform::PendingFile pending;
    if (!pending.create(platform::encodeFileName(folderOf(path)), 0666))
        raise(QStringLiteral("Cannot create the archive in \"%1\": %2").arg(folderOf(path), systemReason(errno)));
    {
        FileDevice device(pending.fd());
        ZipWriter writer(&device);
        writer.setProgress(progress);
        for (const QString& file : files) {
            if (!writer.addFile(file, ExtractFileName(file)))
                raise(writer.errorString());
        }
        if (!writer.finish())
            raise(writer.errorString());
    }
    // The archive must be whole on disk before its name appears.
    if (::fsync(pending.fd()) != 0 || !pending.close())
        raise(QStringLiteral("Cannot write the archive: %1").arg(systemReason(errno)));

    // Another program may take the free name meanwhile; then the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = freeArchivePath(path);
        if (pending.publish(platform::encodeFileName(target), false))
            return target;
        if (errno != EEXIST)
            raise(QStringLiteral("Cannot save the archive as \"%1\": %2").arg(target, systemReason(errno)));
    }
    raise(QStringLiteral("Cannot save the archive as \"%1\": the name stays taken").arg(path));
}
