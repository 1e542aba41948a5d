#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace platform {

// Percent-encodes the bytes of a path for a URI or a trash info file: letters, digits, "-", ".",
// "_", "~" and "/" stay, every other byte becomes "%XX" with upper-case hex digits. Works on the
// file system's bytes, so a name with invalid UTF-8 keeps exactly its bytes.
QByteArray percentEncodePath(QByteArrayView bytes);

// The "file://" URI of an absolute path, built from the path's own bytes (encodeFileName), so
// lone surrogates from undecodable names become the percent-encoded byte they stand for.
QByteArray fileUri(QStringView path);

} // namespace platform
