#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// Code page 437, the OEM code page in which ZIP tools read entry names that lack the UTF-8 flag.
// Bytes 0x00 to 0x7F are ASCII; 0x80 to 0xFF are the accented letters, box drawing and symbols
// of the IBM PC character set.

// The CP437 bytes of text, or nothing when a character of it has no CP437 byte (so the text
// would not come back unchanged).
std::optional<QByteArray> encodeCp437(QStringView text);

// The text of CP437 bytes; every byte has a character, so this never fails.
QString decodeCp437(QByteArrayView bytes);
