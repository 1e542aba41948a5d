#include "support/FileProbe.h"

#include "platform/FileName.h"

#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray contentOf(const std::string& nativePath) {
    QFile file;
    const int fd = ::open(nativePath.c_str(), O_RDONLY);
    if (fd < 0)
        return QByteArrayLiteral("<missing>");
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QByteArrayLiteral("<missing>");
    }
    return file.readAll();
}

QByteArray contentOf(const QString& path) {
    return contentOf(platform::encodeFileName(path).toStdString());
}

bool exists(const std::string& nativePath) {
    struct stat st {};
    return ::lstat(nativePath.c_str(), &st) == 0;
}

QStringList namesIn(const std::string& folder) {
    QStringList names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.append(platform::decodeFileName(name));
    }
    ::closedir(dir);
    names.sort();
    return names;
}

void removeContents(const std::string& folder) {
    ::nftw(
        folder.c_str(),
        [](const char* path, const struct stat*, int, FTW* ftw) { return ftw->level > 0 ? ::remove(path) : 0; }, 16,
        FTW_DEPTH | FTW_PHYS);
}

QByteArray utf16le(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

ImmutableFolder::ImmutableFolder(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY)) {
    int flags = 0;
    if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        m_set = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
}

ImmutableFolder::~ImmutableFolder() {
    int flags = 0;
    if (m_set && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

int openDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}
