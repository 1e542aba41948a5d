#include "duplicates/FolderDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Opens folder one name at a time from "/" or the current folder; -1 with errno set.
int openByLevels(std::string_view folder) {
    int fd = ::open(folder.starts_with('/') ? "/" : ".", kFlags);
    std::string name;
    for (size_t begin = 0; fd >= 0 && begin < folder.size();) {
        size_t end = folder.find('/', begin);
        if (end == std::string_view::npos)
            end = folder.size();
        if (end > begin) {
            name.assign(folder.substr(begin, end - begin));
            const int next = ::openat(fd, name.c_str(), kFlags);
            const int error = errno;
            ::close(fd);
            fd = next;
            errno = error;
        }
        begin = end + 1;
    }
    return fd;
}

} // namespace

FolderDescriptor::FolderDescriptor(std::string_view folder) {
    const std::string path = folder.empty() ? std::string(".") : std::string(folder);
    m_fd = ::open(path.c_str(), kFlags);
    if (m_fd < 0 && errno == ENAMETOOLONG)
        m_fd = openByLevels(folder);
    if (m_fd < 0)
        m_error = errno;
}

FolderDescriptor::~FolderDescriptor() {
    if (m_fd >= 0)
        ::close(m_fd);
}
