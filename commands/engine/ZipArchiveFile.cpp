#include "commands/engine/ZipArchiveFile.h"

#include "commands/engine/ZipArchivePath.h"
#include "platform/FileName.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Moves from to to unless something is already at to; errno EEXIST tells that case apart.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace rename: a hard link also refuses an existing target.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT, some network shares): the last check leaves only a tiny window.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// The hidden temporary file the archive is written to; removed unless it was renamed into place.
class TemporaryArchive {
public:
    explicit TemporaryArchive(const QString& target) {
        const QString stem = folderOf(target) + QStringLiteral("/.") + nameOf(target) + QLatin1Char('.');
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_path = stem + QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
            m_bytes = platform::encodeFileName(m_path);
            // 0666 before the umask, as any new file, rather than a temporary file's 0600.
            const int fd = ::open(m_bytes.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                if (!m_file.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
                    ::close(fd);
                    break;
                }
                return;
            }
            if (errno != EEXIST)
                raise(QStringLiteral("Cannot create the archive in \"%1\": %2")
                          .arg(folderOf(target), systemReason(errno)));
        }
        raise(QStringLiteral("Cannot create the archive in \"%1\"").arg(folderOf(target)));
    }
    ~TemporaryArchive() {
        m_file.close();
        if (!m_kept)
            ::unlink(m_bytes.constData());
    }
    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;

    QFile& file() { return m_file; }
    const QByteArray& bytes() const { return m_bytes; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    QByteArray m_bytes;
    QFile m_file;
    bool m_kept = false;
};

} // namespace

QString ZipArchiveFile::create(const QString& path, const QStringList& files, const ZipWriter::Progress& progress) {
    TemporaryArchive temporary(path);
    ZipWriter writer(&temporary.file());
    writer.setProgress(progress);
    for (const QString& file : files) {
        if (!writer.addFile(file, nameOf(file)))
            raise(writer.errorString());
    }
    if (!writer.finish())
        raise(writer.errorString());
    // The archive must be whole on disk before its name appears.
    if (!temporary.file().flush())
        raise(QStringLiteral("Cannot write the archive: %1").arg(temporary.file().errorString()));
    if (::fsync(temporary.file().handle()) != 0)
        raise(QStringLiteral("Cannot write the archive: %1").arg(systemReason(errno)));

    // Another program may take the free name meanwhile; then the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = freeArchivePath(path);
        if (renameNoReplace(temporary.bytes(), platform::encodeFileName(target))) {
            temporary.keep();
            return target;
        }
        if (errno != EEXIST)
            raise(QStringLiteral("Cannot save the archive as \"%1\": %2").arg(target, systemReason(errno)));
    }
    raise(QStringLiteral("Cannot save the archive as \"%1\": the name stays taken").arg(path));
}
