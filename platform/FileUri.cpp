#include "platform/FileUri.h"

#include "platform/FileName.h"

#include <QByteArrayList>
#include <cerrno>
#include <unistd.h>

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

QByteArray absolutePath(QByteArrayView bytes) {
    QByteArray full;
    if (!bytes.startsWith('/')) {
        QByteArray cwd(4096, Qt::Uninitialized);
        while (!::getcwd(cwd.data(), size_t(cwd.size()))) {
            if (errno != ERANGE)
                return bytes.toByteArray(); // no working folder to resolve against
            cwd.resize(cwd.size() * 2);
        }
        full = QByteArray(cwd.constData()) + '/';
    }
    full += bytes;
    QByteArray out;
    out.reserve(full.size());
    for (const QByteArray& step : full.split('/')) {
        if (step.isEmpty() || step == ".")
            continue;
        out += '/';
        out += step;
    }
    if (out.isEmpty() || full.endsWith('/'))
        out += '/';
    return out;
}

QByteArray fileUri(QStringView path) {
    return fileUri(encodeFileName(path));
}

QByteArray fileUri(QByteArrayView pathBytes) {
    return QByteArrayLiteral("file://") + percentEncodePath(absolutePath(pathBytes));
}

} // namespace platform
