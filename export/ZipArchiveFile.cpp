#include "export/ZipArchiveFile.h"

#include "export/ZipArchivePath.h"
#include "platform/FileName.h"
#include "platform/FileWriter.h"
#include "text/FileHelpers.h"

#include <cerrno>
#include <stdexcept>

namespace {

[[noreturn]] void raise(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QString ZipArchiveFile::create(const QString& path, const QStringList& files, const ZipWriter::Progress& progress) {
    QList<QByteArray> bytes;
    for (const QString& file : files)
        bytes.append(platform::encodeFileName(file));
    return create(path, bytes, progress);
}

QString ZipArchiveFile::create(const QString& path, const QList<QByteArray>& files,
                               const ZipWriter::Progress& progress) {
    // 0666 before the umask, as any new file, rather than a temporary file's 0600.
    platform::FileWriter file;
    if (!file.createNew(folderOf(path), 0666))
        raise(QStringLiteral("Cannot create the archive in \"%1\": %2").arg(folderOf(path), file.errorString()));
    {
        ZipWriter writer(&file);
        writer.setProgress(progress);
        for (const QByteArray& entry : files) {
            if (!writer.addFile(entry, ExtractFileName(platform::decodeFileName(entry))))
                raise(writer.errorString());
        }
        if (!writer.finish())
            raise(writer.errorString());
    }
    // The archive is whole on the disk before its name appears.
    if (!file.finish())
        raise(QStringLiteral("Cannot write the archive: %1").arg(file.errorString()));

    // Another program may take the free name meanwhile; then the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = freeArchivePath(path);
        if (file.publish(target))
            return target;
        if (file.error() != EEXIST)
            raise(QStringLiteral("Cannot save the archive as \"%1\": %2").arg(target, file.errorString()));
    }
    raise(QStringLiteral("Cannot save the archive as \"%1\": the name stays taken").arg(path));
}
