#include "support/TempTree.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

void mkdirs(const std::string& path) {
    for (size_t pos = 1; (pos = path.find('/', pos)) != std::string::npos; ++pos) {
        const std::string part = path.substr(0, pos);
        ::mkdir(part.c_str(), 0755);
    }
    ::mkdir(path.c_str(), 0755);
}

std::string parentOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

} // namespace

TempTree::TempTree() {
    EXPECT_TRUE(m_dir.isValid());
}

TempTree::~TempTree() {
    // Unreadable folders and names that are not UTF-8 would stop QTemporaryDir's own removal, which
    // works on decoded names: give every folder its rights back and remove the bytes as they are.
    const std::string cmd = "chmod -R u+rwx '" + rootBytes() + "' 2>/dev/null; rm -rf '" + rootBytes() + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
}

std::string TempTree::rootBytes() const {
    return QFile::encodeName(m_dir.path()).toStdString();
}

std::string TempTree::abs(const std::string& rel) const {
    return rel.empty() ? rootBytes() : rootBytes() + "/" + rel;
}

void TempTree::makeFile(const std::string& rel, const QByteArray& bytes, qint64 mtime) {
    const std::string path = abs(rel);
    mkdirs(parentOf(path));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
    if (mtime >= 0) {
        struct timeval tv[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
        ASSERT_EQ(::utimes(path.c_str(), tv), 0);
    }
}

void TempTree::makeSparse(const std::string& rel, qint64 size) {
    const std::string path = abs(rel);
    mkdirs(parentOf(path));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

void TempTree::makeDir(const std::string& rel) {
    mkdirs(abs(rel));
}

void TempTree::makeLink(const std::string& target, const std::string& rel) {
    const std::string path = abs(rel);
    mkdirs(parentOf(path));
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << std::strerror(errno);
}

void TempTree::setMode(const std::string& rel, unsigned mode) {
    ASSERT_EQ(::chmod(abs(rel).c_str(), mode), 0);
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        qputenv(m_name.constData(), m_old);
    else
        qunsetenv(m_name.constData());
}
