#include "platform/FileOperations.h"

#include "platform/FileName.h"
#include "platform/TransferBatch.h"

#include <sys/stat.h>

namespace platform {

namespace {

FileOpResult transferOne(TransferBatch::Kind kind, const QString& source, const QString& target,
                         const FileOpHooks& hooks) {
    FileOpResult outcome;
    TransferBatch batch(kind, [&outcome](const QString&, const FileOpResult& result) { outcome = result; });
    batch.add(source, target, hooks);
    batch.finish();
    return outcome;
}

} // namespace

FileOpResult copyFile(const QString& source, const QString& target, const FileOpHooks& hooks) {
    return transferOne(TransferBatch::Kind::Copy, source, target, hooks);
}

FileOpResult moveFile(const QString& source, const QString& target, const FileOpHooks& hooks) {
    return transferOne(TransferBatch::Kind::Move, source, target, hooks);
}

qint64 fileSizeOf(const QString& path) {
    return fileSizeOf(encodeFileName(path));
}

qint64 fileSizeOf(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 ? qint64(st.st_size) : 0;
}

} // namespace platform
