#include "platform/SpillFile.h"

#include "platform/PosixFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {

SpillFile::~SpillFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SpillFile::fail(int error) {
    m_failed = true;
    m_error = QStringLiteral("temporary file: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool SpillFile::open() {
    const char* tmp = std::getenv("TMPDIR");
    // A TMPDIR that cannot take the file is no reason to fail while /tmp can.
    std::vector<std::string> folders{"/tmp"};
    if (tmp && *tmp && std::string(tmp) != "/tmp")
        folders.insert(folders.begin(), tmp);
    int error = 0;
    for (const std::string& folder : folders) {
        m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            // File systems without unnamed files: a named one, unlinked at once.
            std::string name = folder + "/trovex-spill-XXXXXX";
            m_fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (m_fd >= 0)
                ::unlink(name.c_str());
        }
        if (m_fd >= 0)
            return true;
        if (error == 0)
            error = errno;
    }
    return fail(error);
}

bool SpillFile::append(std::string_view bytes) {
    if (m_failed || (m_fd < 0 && !open()))
        return false;
    return writeAll(m_fd, bytes.data(), qsizetype(bytes.size())) || fail(errno);
}

bool SpillFile::readBack(const std::function<bool(std::string_view piece)>& take) {
    if (m_failed)
        return false;
    if (m_fd < 0)
        return true; // nothing was appended
    std::vector<char> buffer(size_t(1) << 20);
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            return true;
        if (!take(std::string_view(buffer.data(), size_t(n))))
            return false;
        at += n;
    }
}

} // namespace platform
