#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

class QIODevice;

// Writes a ZIP archive to a device: for each file a local header, its data compressed with
// deflate at zlib level 1, and at the end the central directory and its end record. Only the
// classic structures are written (no Zip64), so a file of 4 GiB or more, an archive that would
// pass 4 GiB and a 65,536th entry are refused.
//
// Every entry says version needed 20 and version made by 20 on MS-DOS, carries the file's time as
// an MS-DOS local time and its read-only, hidden and archive bits as MS-DOS attributes. Its name
// holds no "\" or ":", which extractors take for a folder separator or a drive: each becomes "_".
// That name is stored in CP437 with flag bit 11 clear when it comes back from CP437 unchanged,
// otherwise in UTF-8 with flag bit 11 set, a byte of a name that was no UTF-8 written as "%XX". The
// local and the central header both carry the extra field 0x554E ("NUCX" signature, 32-bit count
// of UTF-16 units, the exact name in UTF-16LE).
class ZipWriter {
public:
    enum class Phase { Start, Process, End };
    // Told the path of the file being packed, the part done in percent and the phase.
    using Progress = std::function<void(const QString& path, double percent, Phase phase)>;

    // device must be open for writing, random-access (headers are completed after the data) and
    // positioned where the archive begins; it must outlive the writer.
    explicit ZipWriter(QIODevice* device);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Packs the regular file at path (a symbolic link is followed) as an entry named entryName.
    // Hidden and read-only files are packed like any other; a folder, device, FIFO or socket is
    // refused. False when the file cannot be read or is too large, or the device fails; the
    // archive is then unusable and errorString() says why.
    bool addFile(const QByteArray& path, const QString& entryName);
    bool addFile(const QString& path, const QString& entryName);

    // Writes the central directory and the end record. False with errorString() on failure.
    bool finish();

    QString errorString() const { return m_error; }

    // The largest value the classic 32-bit size and offset fields can hold; 0xFFFFFFFF itself
    // marks a Zip64 value, which this writer never writes.
    static constexpr quint64 maxClassicValue = 0xFFFFFFFEu;

private:
    struct Entry {
        QByteArray name;
        QByteArray extra;
        quint16 flags = 0;
        quint16 dosTime = 0;
        quint16 dosDate = 0;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint32 attributes = 0;
        quint32 offset = 0;
    };
    static void putEntryFields(QByteArray& out, const Entry& entry, bool withSizes);

    bool fail(const QString& message);
    bool write(const QByteArray& bytes);
    bool packData(int fd, const QString& path, qint64 expectedSize, Entry& entry);

    QIODevice* m_device;
    Progress m_progress;
    std::vector<Entry> m_entries;
    QString m_error;
};
