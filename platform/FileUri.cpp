#include "platform/FileUri.h"

#include "platform/FileName.h"

namespace platform {

namespace {

bool isKept(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

} // namespace

QByteArray percentEncodePath(QByteArrayView bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isKept(c)) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0xF]);
        }
    }
    return out;
}

QByteArray fileUri(QStringView path) {
    return QByteArrayLiteral("file://") + percentEncodePath(encodeFileName(path));
}

} // namespace platform
