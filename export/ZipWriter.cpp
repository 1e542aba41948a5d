#include "export/ZipWriter.h"

#include "export/ZipCodePage.h"
#include "platform/FileName.h"

#include <QDateTime>
#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr quint32 localHeaderSignature = 0x04034b50;
constexpr quint32 centralHeaderSignature = 0x02014b50;
constexpr quint32 endRecordSignature = 0x06054b50;
constexpr quint16 versionNeeded = 20;
constexpr quint16 versionMadeBy = 20; // upper byte 0: MS-DOS
constexpr quint16 flagUtf8 = 0x0800;
constexpr quint16 methodDeflate = 8;
constexpr quint16 unicodeNameExtraId = 0x554E;
constexpr quint16 maxEntries = 0xFFFF;
constexpr quint32 dosReadOnly = 0x01;
constexpr quint32 dosHidden = 0x02;
constexpr quint32 dosArchive = 0x20;
constexpr qsizetype readChunk = 256 * 1024;
constexpr qsizetype writeChunk = 64 * 1024;

void put16(QByteArray& out, quint16 v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(QByteArray& out, quint32 v) {
    put16(out, static_cast<quint16>(v & 0xFFFF));
    put16(out, static_cast<quint16>(v >> 16));
}

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// The MS-DOS time and date of a moment in local time; the format starts in 1980 and ends in 2107.
std::pair<quint16, quint16> dosDateTime(qint64 secondsSinceEpoch) {
    QDateTime when = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
    const QDateTime first(QDate(1980, 1, 1), QTime(0, 0));
    const QDateTime last(QDate(2107, 12, 31), QTime(23, 59, 58));
    if (!when.isValid() || when < first)
        when = first;
    else if (when > last)
        when = last;
    const QDate d = when.date();
    const QTime t = when.time();
    const auto time = static_cast<quint16>((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
    const auto date = static_cast<quint16>(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
    return {time, date};
}

// The name an extractor reads: on the MS-DOS host the archive names, "\" would be taken as a
// folder separator and ":" as a drive, so both become "_". The extra field keeps the exact name.
QString storedName(const QString& name) {
    QString stored = name;
    stored.replace(QLatin1Char('\\'), QLatin1Char('_')).replace(QLatin1Char(':'), QLatin1Char('_'));
    return stored;
}

// The UTF-8 form promised by flag bit 11 must be valid. A byte of a name that was not UTF-8 (the
// lone surrogate U+DC00 + byte) is written as "%" and two hex digits, as in the file's URI, so
// names that differ only in such bytes stay apart; any other lone surrogate becomes U+FFFD.
QByteArray validUtf8(const QString& name) {
    QString clean;
    clean.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            clean += c;
            clean += name.at(++i);
        } else if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            clean += QLatin1Char('%') + QString::number(c.unicode() - 0xDC00, 16).toUpper();
        } else if (c.isSurrogate()) {
            clean += QChar(QChar::ReplacementCharacter);
        } else {
            clean += c;
        }
    }
    return clean.toUtf8();
}

QByteArray unicodeNameExtra(const QString& name) {
    const auto units = static_cast<quint32>(name.size());
    QByteArray extra;
    put16(extra, unicodeNameExtraId);
    put16(extra, static_cast<quint16>(2 * units + 8));
    extra += "NUCX";
    put32(extra, units);
    for (const QChar c : name)
        put16(extra, c.unicode());
    return extra;
}

// Closes the file descriptor on every way out.
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

ZipWriter::ZipWriter(QIODevice* device) : m_device(device) {
    Q_ASSERT(device && device->isWritable());
}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::fail(const QString& message) {
    m_error = message;
    return false;
}

bool ZipWriter::write(const QByteArray& bytes) {
    if (m_device->write(bytes) != bytes.size())
        return fail(QStringLiteral("Cannot write the archive: %1").arg(m_device->errorString()));
    return true;
}

bool ZipWriter::addFile(const QString& path, const QString& entryName) {
    return addFile(platform::encodeFileName(path), entryName);
}

bool ZipWriter::addFile(const QByteArray& pathBytes, const QString& entryName) {
    const QString path = platform::decodeFileName(pathBytes); // for messages and progress
    if (m_device->isSequential())
        return fail(QStringLiteral("Cannot write the archive: the device is not random-access"));
    if (m_entries.size() >= maxEntries)
        return fail(QStringLiteral("Cannot add \"%1\": an archive without Zip64 holds at most %2 files")
                        .arg(path)
                        .arg(maxEntries));

    // Non-blocking, so that a FIFO among the selection cannot hang the program before it is refused.
    const int fd = ::open(pathBytes.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("Cannot open \"%1\": %2").arg(path, systemReason(errno)));
    const FdCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(QStringLiteral("Cannot read \"%1\": %2").arg(path, systemReason(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("Cannot add \"%1\": it is not a regular file").arg(path));
    if (static_cast<quint64>(st.st_size) > maxClassicValue)
        return fail(QStringLiteral("Cannot add \"%1\": files of 4 GiB or more need Zip64, which this archive "
                                   "does not use")
                        .arg(path));
    const qint64 offset = m_device->pos();
    if (static_cast<quint64>(offset) > maxClassicValue)
        return fail(QStringLiteral("Cannot add \"%1\": the archive would pass the 4 GiB limit of ZIP files "
                                   "without Zip64")
                        .arg(path));

    Entry entry;
    const QString stored = storedName(entryName);
    if (const std::optional<QByteArray> oem = encodeCp437(stored)) {
        entry.name = *oem;
    } else {
        entry.name = validUtf8(stored);
        entry.flags |= flagUtf8;
    }
    entry.extra = unicodeNameExtra(entryName);
    if (entry.name.size() > 0xFFFF || entry.extra.size() > 0xFFFF)
        return fail(QStringLiteral("Cannot add \"%1\": the name is too long for a ZIP entry").arg(path));
    std::tie(entry.dosTime, entry.dosDate) = dosDateTime(st.st_mtim.tv_sec);
    entry.attributes = dosArchive;
    if (!(st.st_mode & S_IWUSR))
        entry.attributes |= dosReadOnly;
    if (entryName.startsWith(QLatin1Char('.')))
        entry.attributes |= dosHidden;
    entry.offset = static_cast<quint32>(offset);

    // The header goes out first with CRC and sizes zero; they are filled in once the data is written.
    QByteArray header;
    put32(header, localHeaderSignature);
    putEntryFields(header, entry, false);
    put16(header, static_cast<quint16>(entry.name.size()));
    put16(header, static_cast<quint16>(entry.extra.size()));
    if (!write(header + entry.name + entry.extra))
        return false;

    if (m_progress)
        m_progress(path, 0, Phase::Start);
    if (!packData(fd, path, st.st_size, entry))
        return false;

    QByteArray sizes;
    put32(sizes, entry.crc);
    put32(sizes, entry.compressedSize);
    put32(sizes, entry.size);
    const qint64 end = m_device->pos();
    if (!m_device->seek(offset + 14) || !write(sizes) || !m_device->seek(end))
        return fail(QStringLiteral("Cannot write the archive: %1").arg(m_device->errorString()));
    m_entries.push_back(entry);
    if (m_progress)
        m_progress(path, 100, Phase::End);
    return true;
}

bool ZipWriter::packData(int fd, const QString& path, qint64 expectedSize, Entry& entry) {
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail(QStringLiteral("Cannot start the compression of \"%1\"").arg(path));
    struct Ender {
        z_stream* z;
        ~Ender() { deflateEnd(z); }
    } ender{&z};

    QByteArray in(readChunk, Qt::Uninitialized);
    QByteArray out(writeChunk, Qt::Uninitialized);
    quint64 total = 0;
    quint64 compressed = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool atEnd = false;
    while (!atEnd) {
        const ssize_t got = ::read(fd, in.data(), static_cast<size_t>(in.size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("Cannot read \"%1\": %2").arg(path, systemReason(errno)));
        }
        atEnd = got == 0;
        total += static_cast<quint64>(got);
        // The file may grow while it is read.
        if (total > maxClassicValue)
            return fail(QStringLiteral("Cannot add \"%1\": files of 4 GiB or more need Zip64, which this archive "
                                       "does not use")
                            .arg(path));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(in.constData()), static_cast<uInt>(got));
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(got);
        const int flush = atEnd ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            if (deflate(&z, flush) == Z_STREAM_ERROR)
                return fail(QStringLiteral("Cannot compress \"%1\"").arg(path));
            const qsizetype produced = out.size() - static_cast<qsizetype>(z.avail_out);
            compressed += static_cast<quint64>(produced);
            if (compressed > maxClassicValue ||
                static_cast<quint64>(m_device->pos()) + static_cast<quint64>(produced) > maxClassicValue)
                return fail(QStringLiteral("Cannot add \"%1\": the archive would pass the 4 GiB limit of ZIP "
                                           "files without Zip64")
                                .arg(path));
            if (produced > 0 && !write(out.first(produced)))
                return false;
        } while (z.avail_out == 0);
        if (m_progress && !atEnd)
            m_progress(path, expectedSize > 0 ? qMin(100.0, 100.0 * double(total) / double(expectedSize)) : 100.0,
                       Phase::Process);
    }
    entry.crc = static_cast<quint32>(crc);
    entry.size = static_cast<quint32>(total);
    entry.compressedSize = static_cast<quint32>(compressed);
    return true;
}

// The fields a local header and the central directory share: version needed, flags, method, time,
// date, CRC and both sizes, which a local header leaves zero until the data is written.
void ZipWriter::putEntryFields(QByteArray& out, const Entry& entry, bool withSizes) {
    put16(out, versionNeeded);
    put16(out, entry.flags);
    put16(out, methodDeflate);
    put16(out, entry.dosTime);
    put16(out, entry.dosDate);
    put32(out, withSizes ? entry.crc : 0);
    put32(out, withSizes ? entry.compressedSize : 0);
    put32(out, withSizes ? entry.size : 0);
}

bool ZipWriter::finish() {
    const qint64 directoryOffset = m_device->pos();
    QByteArray directory;
    for (const Entry& entry : m_entries) {
        put32(directory, centralHeaderSignature);
        put16(directory, versionMadeBy);
        putEntryFields(directory, entry, true);
        put16(directory, static_cast<quint16>(entry.name.size()));
        put16(directory, static_cast<quint16>(entry.extra.size()));
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number
        put16(directory, 0); // internal attributes
        put32(directory, entry.attributes);
        put32(directory, entry.offset);
        directory += entry.name;
        directory += entry.extra;
    }
    if (static_cast<quint64>(directoryOffset) + static_cast<quint64>(directory.size()) > maxClassicValue)
        return fail(QStringLiteral("Cannot finish the archive: it would pass the 4 GiB limit of ZIP files "
                                   "without Zip64"));
    const auto count = static_cast<quint16>(m_entries.size());
    QByteArray end;
    put32(end, endRecordSignature);
    put16(end, 0); // this disk
    put16(end, 0); // disk of the central directory
    put16(end, count);
    put16(end, count);
    put32(end, static_cast<quint32>(directory.size()));
    put32(end, static_cast<quint32>(directoryOffset));
    put16(end, 0); // comment length
    return write(directory + end);
}
