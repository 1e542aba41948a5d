#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The length of the valid UTF-8 sequence at bytes (len available), with its code point in cp; 0 for
// an invalid one. Overlong forms, surrogates and code points above U+10FFFF are invalid.
int utf8SequenceLength(const char* bytes, qsizetype len, char32_t& cp);

// Decodes a file-system name losslessly: valid UTF-8 decodes normally, every byte of an invalid
// sequence becomes the lone surrogate U+DC00 + byte, so encodeFileName gives the bytes back.
QString decodeFileName(const char* bytes, qsizetype len);
inline QString decodeFileName(const QByteArray& bytes) {
    return decodeFileName(bytes.constData(), bytes.size());
}

// The inverse of decodeFileName. Lone surrogates U+DC80..U+DCFF become their byte again; other
// unpaired surrogates, which no decoded name holds, are written as their three-byte form.
QByteArray encodeFileName(QStringView name);

} // namespace platform
