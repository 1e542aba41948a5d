#pragma once

#include <QString>

class QIODevice;

// Writes CSV text as a file of UTF-16 little-endian code units after the byte-order mark FF FE.
// The text's code units are written as they are, lone surrogates from undecodable file names
// included, so every path reads back as the same string.
class CsvWriter {
public:
    // Writes the byte-order mark and the text to an open device. False when the device refused
    // some of it; errorString() then says why.
    bool write(QIODevice& device, const QString& text);

    // Writes the file at path through platform::FileWriter: an existing file is replaced only once
    // everything was written and synced, so a failure leaves it as it was; a FIFO or a device is
    // written where it stands. False on failure, with errorString() "Cannot create file "<path>".
    // <reason>".
    bool save(const QString& path, const QString& text);

    const QString& errorString() const { return m_error; }

private:
    QString m_error;
};
