#pragma once

#include <QtGlobal>
#include <string_view>

// Attribute bits of a directory entry, with the meanings Trovex gives them on Linux.
namespace FileAttr {
inline constexpr quint32 ReadOnly = 0x1;       // no owner write permission
inline constexpr quint32 Hidden = 0x2;         // name begins with "."
inline constexpr quint32 System = 0x4;         // device, FIFO or socket
inline constexpr quint32 Directory = 0x10;     // a folder, or a link to one (never entered)
inline constexpr quint32 Archive = 0x20;       // every regular file
inline constexpr quint32 ReparsePoint = 0x400; // a symbolic link
inline constexpr quint32 Compressed = 0x800;   // the file system reports it compressed
// Not an attribute of its own: the entry's metadata could not be read, so its size, times and the
// bits that depend on them are unknown. Only the bits its name and entry type give are set.
inline constexpr quint32 Unread = 0x80000000;
} // namespace FileAttr

namespace platform {

// The attribute bits of a file of the given stat mode and name: directory, archive for a regular
// file, reparse point for a link, system for anything else; read-only without owner write
// permission (links excepted), hidden for a name beginning with ".". A folder carries only the
// directory and hidden bits.
quint32 attributesOf(unsigned mode, std::string_view name);

} // namespace platform
