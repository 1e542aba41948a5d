#include "platform/FileName.h"

namespace platform {

int utf8SequenceLength(const char* bytes, qsizetype n, char32_t& cp) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char b0 = p[0];
    int len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

QString decodeFileName(const char* bytes, qsizetype len) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype i = 0;
    while (i < len && p[i] < 0x80)
        ++i;
    if (i == len)
        return QString::fromLatin1(bytes, len);

    QString out;
    out.resize(len); // UTF-16 never needs more units than UTF-8 has bytes
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    qsizetype o = 0;
    for (qsizetype k = 0; k < i; ++k)
        dst[o++] = p[k];
    while (i < len) {
        char32_t cp;
        const int n = utf8SequenceLength(bytes + i, len - i, cp);
        if (n == 0) {
            dst[o++] = char16_t(0xDC00 + p[i]);
            ++i;
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            dst[o++] = char16_t(0xD800 + (cp >> 10));
            dst[o++] = char16_t(0xDC00 + (cp & 0x3FF));
            i += n;
        } else {
            dst[o++] = char16_t(cp);
            i += n;
        }
    }
    out.truncate(o);
    return out;
}

QByteArray encodeFileName(QStringView name) {
    QByteArray out;
    out.reserve(name.size() * 3);
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t u = name[i].unicode();
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            const char32_t lo = name[i + 1].unicode();
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.append(char(u - 0xDC00));
            continue;
        }
        if (u < 0x800) {
            out.append(char(0xC0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3F)));
        } else if (u < 0x10000) {
            out.append(char(0xE0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        } else {
            out.append(char(0xF0 | (u >> 18)));
            out.append(char(0x80 | ((u >> 12) & 0x3F)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

} // namespace platform
