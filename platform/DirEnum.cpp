#include "platform/DirEnum.h"

#include "platform/FileAttributes.h"
#include "platform/FileTime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr size_t kReadBufferSize = 64 * 1024;

qint64 toFileTime(const struct statx_timestamp& t) {
    return FileTime::fromUnix(qint64(t.tv_sec), qint64(t.tv_nsec));
}

inline unsigned char foldUpper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

bool isDots(std::string_view n) {
    return n == "." || n == "..";
}

// Marks entries that the directory's entry type leaves open; 0 means a plain file.
constexpr quint32 kNeedsTypeFromStat = 0x80000000u;

void applyStat(DirEntry& e, std::string_view name, const struct statx& st) {
    quint32 attr = attributesOf(st.stx_mode, name);
    if (attr & FileAttr::Directory) {
        e.attr = attr;
        return;
    }
    if ((st.stx_attributes_mask & STATX_ATTR_COMPRESSED) && (st.stx_attributes & STATX_ATTR_COMPRESSED))
        attr |= FileAttr::Compressed;
    e.attr = attr;
    e.size = qint64(st.stx_size);
    e.blocks = qint64(st.stx_blocks);
    e.device = st.stx_dev_major << 20 | st.stx_dev_minor;
    e.inode = st.stx_ino;
    e.links = st.stx_nlink;
    e.modified = toFileTime(st.stx_mtime);
    e.accessed = toFileTime(st.stx_atime);
    // Some file systems (overlays among them) report a birth time of zero; that is no birth time.
    if ((st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0))
        e.created = toFileTime(st.stx_btime);
    else
        e.created = std::min(toFileTime(st.stx_ctime), e.modified);
}

} // namespace

bool nameLess(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = foldUpper(static_cast<unsigned char>(a[i]));
        const unsigned char cb = foldUpper(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

int openFolder(const char* path) {
    return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int openFolderAt(int parentFd, const char* name) {
    return ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

bool readFolderNames(int fd, std::vector<DirEntry>& entries, std::vector<char>& names, std::vector<char>& buffer) {
    entries.clear();
    names.clear();
    if (buffer.size() < kReadBufferSize)
        buffer.resize(kReadBufferSize);

    bool readAny = false;
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (!readAny)
                return false;
            break; // a failing read ends the folder as if it had reached its end
        }
        if (n == 0)
            break;
        readAny = true;
        for (ssize_t off = 0; off < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + off);
            off += d->d_reclen;
            const size_t len = std::strlen(d->d_name);
            DirEntry e;
            e.nameOffset = quint32(names.size());
            e.nameLen = quint32(len);
            names.insert(names.end(), d->d_name, d->d_name + len + 1); // keep the NUL for statx
            // What the entry type tells; statx replaces it, and it is all we know when statx fails.
            switch (d->d_type) {
            case DT_DIR:
                e.attr = FileAttr::Directory;
                break;
            case DT_REG:
                e.attr = FileAttr::Archive;
                break;
            case DT_LNK:
                e.attr = FileAttr::ReparsePoint;
                break;
            case DT_FIFO:
            case DT_CHR:
            case DT_BLK:
            case DT_SOCK:
                e.attr = FileAttr::System;
                break;
            default:
                e.attr = kNeedsTypeFromStat;
                break;
            }
            if (len > 0 && d->d_name[0] == '.')
                e.attr |= FileAttr::Hidden;
            entries.push_back(e);
        }
    }

    const auto nameOf = [&names](const DirEntry& e) {
        return std::string_view(names.data() + e.nameOffset, e.nameLen);
    };
    // "." and ".." first, then the rest in case-insensitive order.
    auto rest =
        std::stable_partition(entries.begin(), entries.end(), [&](const DirEntry& e) { return isDots(nameOf(e)); });
    for (auto it = entries.begin(); it != rest; ++it)
        it->attr = FileAttr::Directory;
    std::sort(entries.begin(), rest,
              [&](const DirEntry& a, const DirEntry& b) { return nameOf(a).size() < nameOf(b).size(); });
    std::sort(rest, entries.end(),
              [&](const DirEntry& a, const DirEntry& b) { return nameLess(nameOf(a), nameOf(b)); });
    return true;
}

qsizetype statEntries(int fd, DirEntry* first, qsizetype count, const char* names, int& firstError,
                      const std::function<bool()>& stop) {
    for (qsizetype i = 0; i < count; ++i) {
        if (stop && stop())
            return i;
        DirEntry& e = first[i];
        if (e.attr & FileAttr::Directory)
            continue; // folders known from the entry type, and the dots, need no statx
        const char* entryName = names + e.nameOffset;
        const std::string_view name(entryName, e.nameLen);
        struct statx st;
        const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME |
                              STATX_BTIME | STATX_BLOCKS | STATX_NLINK | STATX_INO;
        if (::statx(fd, entryName, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &st) != 0) {
            if (errno == ENOENT) {
                e.attr = kEntryVanished; // gone since the listing
                continue;
            }
            // Known by name but not by data (a folder that can be read but not searched): keep
            // what the name and the entry type tell, and nothing made up.
            if (firstError == 0)
                firstError = errno;
            e.attr = (e.attr & ~kNeedsTypeFromStat) | FileAttr::Unread;
            continue;
        }
        applyStat(e, name, st);
        if (S_ISLNK(st.stx_mode)) {
            // A link to a folder is an entry of the folder kind, but is never entered.
            struct stat target;
            if (::fstatat(fd, entryName, &target, 0) == 0 && S_ISDIR(target.st_mode))
                e.attr |= FileAttr::Directory;
        }
    }
    return count;
}

bool DirEnum::open(const char* path, bool followLink) {
    m_entries.clear();
    m_names.clear();
    m_statError = 0;

    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return false;
    if (!readFolderNames(fd, m_entries, m_names, m_buffer)) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    statEntries(fd, m_entries.data(), qsizetype(m_entries.size()), m_names.data(), m_statError);
    ::close(fd);
    // Entries gone since the listing are not delivered.
    m_entries.erase(
        std::remove_if(m_entries.begin(), m_entries.end(), [](const DirEntry& e) { return e.attr == kEntryVanished; }),
        m_entries.end());
    return true;
}

} // namespace platform
