#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace platform {

// Percent-encodes the bytes of a path for a URI or a trash info file: letters, digits, "-", ".",
// "_", "~" and "/" stay, every other byte becomes "%XX" with upper-case hex digits. Works on the
// file system's bytes, so a name with invalid UTF-8 keeps exactly its bytes.
QByteArray percentEncodePath(QByteArrayView bytes);

// The path's bytes made absolute against the working folder where it is relative ("docs/a.txt",
// "./a.txt"); "." steps and doubled "/" are dropped, ".." is kept, since it may cross a link.
QByteArray absolutePath(QByteArrayView bytes);

// The "file://" URI of a path, built from the path's own bytes (encodeFileName), so lone
// surrogates from undecodable names become the percent-encoded byte they stand for. A relative
// path is made absolute first: a URI without a folder would name a host.
QByteArray fileUri(QStringView path);
QByteArray fileUri(QByteArrayView pathBytes);

} // namespace platform
