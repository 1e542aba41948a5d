#include "export/CsvWriter.h"

#include "platform/FileWriter.h"

#include <QIODevice>
#include <QtEndian>

bool CsvWriter::write(QIODevice& device, const QString& text) {
    // Converted in slices, so a list of millions of rows needs no second copy of its whole text.
    constexpr qsizetype slice = 32 * 1024;
    QByteArray bytes("\xFF\xFE", 2);
    for (qsizetype start = 0;; start += slice) {
        for (const QChar c : QStringView(text).mid(start, slice)) {
            const quint16 unit = qToLittleEndian<quint16>(c.unicode());
            bytes.append(reinterpret_cast<const char*>(&unit), 2);
        }
        // A device may take part of a write; only a write that takes nothing tells the reason.
        for (qsizetype done = 0; done < bytes.size();) {
            const qint64 n = device.write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0) {
                m_error = device.errorString();
                return false;
            }
            done += n;
        }
        if (start + slice >= text.size())
            break;
        bytes.clear();
    }
    m_error.clear();
    return true;
}

bool CsvWriter::save(const QString& path, const QString& text) {
    platform::FileWriter file;
    const bool ok = file.create(path) && write(file, text) && file.commit();
    if (!ok)
        m_error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
    return ok;
}
