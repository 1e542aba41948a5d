#include "support/DeepTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

std::string makeDeepChain(const std::string& root, int levels, size_t nameLength) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << root;
    std::string rel;
    rel.reserve(size_t(levels) * (nameLength + 1) + 9);
    for (int i = 0; i < levels; ++i) {
        const std::string name = std::string(nameLength, char('a' + i % 26));
        EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (i)
            rel += '/';
        rel += name;
    }
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    EXPECT_GE(file, 0);
    EXPECT_EQ(::write(file, "12345", 5), 5);
    ::close(file);
    ::close(fd);
    return rel + "/deep.txt";
}

DeepChain::DeepChain(const std::string& root, int levels, size_t nameLength)
    : m_root(root), m_levels(levels), m_nameLength(nameLength), m_file(makeDeepChain(root, levels, nameLength)) {}

DeepChain::~DeepChain() {
    int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < m_levels && fd >= 0; ++i) {
        const int next = ::openat(fd, std::string(m_nameLength, char('a' + i % 26)).c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        return; // changed by the test: the temporary folder's own removal takes the rest
    ::unlinkat(fd, "deep.txt", 0);
    for (int i = m_levels - 1; i >= 0 && fd >= 0; --i) {
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd >= 0)
            ::unlinkat(fd, std::string(m_nameLength, char('a' + i % 26)).c_str(), AT_REMOVEDIR);
    }
    if (fd >= 0)
        ::close(fd);
}
