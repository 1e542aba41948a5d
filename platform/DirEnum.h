#pragma once

#include <QtGlobal>
#include <functional>
#include <string_view>
#include <vector>

namespace platform {

// One entry of a listed folder. Times are file times (100-ns units since 1601-01-01 UTC).
// An entry whose metadata could not be read carries FileAttr::Unread, the bits its name and entry
// type give, and zero size and times, which mean nothing.
struct DirEntry {
    quint32 nameOffset = 0;
    quint32 nameLen = 0;
    quint32 attr = 0;
    quint32 links = 0; // hard links: see blocks below
    qint64 size = 0;
    qint64 created = 0; // birth time, or the earlier of ctime and mtime where none is kept
    qint64 accessed = 0;
    qint64 modified = 0;
    // What a disk-usage count needs of a file: its allocated 512-byte blocks, and its identity
    // (device and inode) and number of hard links, so a file of several names counts once.
    qint64 blocks = 0;
    quint64 inode = 0;
    quint32 device = 0; // major << 20 | minor, as the kernel numbers devices
};

// Lists one folder the way the walk expects it: "." and ".." first, then the other names in
// case-insensitive order; every non-folder is stat'ed relative to the folder's descriptor, folders
// known from the entry type are not. Symbolic links are never followed: a link carries the reparse
// bit, a link to a folder also the folder bit (so it is an entry, never entered).
//
// The folder is read whole and its descriptor closed before open() returns, so a deep walk holds
// no descriptor per level. Buffers are kept for the next open() to avoid per-entry allocations.
class DirEnum {
public:
    // Lists the folder at path (native bytes, NUL-terminated). Returns false when it cannot be
    // opened or read; errno then tells why. followLink allows the folder itself to be a link.
    bool open(const char* path, bool followLink = false);

    qsizetype count() const { return qsizetype(m_entries.size()); }
    const DirEntry& entry(qsizetype i) const { return m_entries[size_t(i)]; }
    std::string_view name(qsizetype i) const {
        const DirEntry& e = m_entries[size_t(i)];
        return {m_names.data() + e.nameOffset, e.nameLen};
    }
    std::string_view name(const DirEntry& e) const { return {m_names.data() + e.nameOffset, e.nameLen}; }
    // The errno of the first entry whose metadata could not be read (it carries FileAttr::Unread
    // and no size or times); 0 when every entry was read.
    int statError() const { return m_statError; }

private:
    std::vector<DirEntry> m_entries;
    std::vector<char> m_names;
    std::vector<char> m_buffer;
    int m_statError = 0;
};

// Case-insensitive order of two names as the walk delivers them: ASCII letters compared as upper
// case, everything else by byte value; names equal that way are ordered by their bytes.
bool nameLess(std::string_view a, std::string_view b);

// The steps of a listing, for readers that hold a folder by its descriptor and stat a large folder
// in parts (the walk's read-ahead). DirEnum::open is these steps in a row.

// Not an attribute: the entry was gone when its metadata was read. Readers skip it.
inline constexpr quint32 kEntryVanished = 0x40000000;

// Opens a folder for listing. openFolder follows a link at path (a root may be one); openFolderAt
// opens the entry name of the folder parentFd and never follows a link, so a folder swapped for a
// link is not entered and paths of any length can be walked level by level. Both return the
// descriptor (close-on-exec), or -1 with errno set.
int openFolder(const char* path);
int openFolderAt(int parentFd, const char* name);

// Reads every name of the open folder fd into entries and names (each name NUL-terminated), "."
// and ".." first, then in nameLess order. Each entry carries only what its name and entry type
// tell until statEntries has seen it. buffer is scratch space kept between calls. Returns false
// with errno set when the folder cannot be read at all; a read failing later ends the folder as
// if it had reached its end.
bool readFolderNames(int fd, std::vector<DirEntry>& entries, std::vector<char>& names, std::vector<char>& buffer);

// Completes the metadata of count entries of the folder fd, starting at first: one statx per
// non-folder relative to fd, links never followed. An entry gone since the listing gets
// kEntryVanished; one whose metadata cannot be read FileAttr::Unread, and firstError, when still
// 0, its errno. Stops early when stop, asked between entries, says so, and returns how many
// entries it completed.
qsizetype statEntries(int fd, DirEntry* first, qsizetype count, const char* names, int& firstError,
                      const std::function<bool()>& stop = {});

} // namespace platform
