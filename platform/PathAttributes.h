#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The attribute bits of the file at path as the walk would report them (hidden for a name
// beginning with ".", system for devices, FIFOs and sockets, ...), without following a link.
// False when the file cannot be examined.
bool pathAttributes(const QByteArray& path, quint32& attr);
bool pathAttributes(const QString& path, quint32& attr);

} // namespace platform
