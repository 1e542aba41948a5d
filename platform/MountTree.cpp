#include "platform/MountTree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// Mount points are written with blanks, tabs, newlines and backslashes as \ooo.
std::string unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + qsizetype(i) + 1, field.begin() + qsizetype(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            out.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

} // namespace

MountTree::MountTree(std::string_view root, std::string_view mountInfo) {
    std::string base(root);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    for (size_t at = 0; at < mountInfo.size();) {
        const size_t end = std::min(mountInfo.find('\n', at), mountInfo.size());
        const std::vector<std::string_view> f = fields(mountInfo.substr(at, end - at));
        at = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 5 || dash == f.end() || dash + 1 == f.end())
            continue;
        const std::string point = unescaped(f[4]);
        const bool below = base == "/" ? point.size() > 1 && point[0] == '/'
                                       : point.size() > base.size() + 1 && point.compare(0, base.size(), base) == 0 &&
                                             point[base.size()] == '/';
        if (!below)
            continue;
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(std::string(f[2]).c_str(), "%u:%u", &major, &minor) != 2)
            continue;
        if (!m_top)
            m_top = std::make_unique<Node>();
        Node* node = m_top.get();
        const std::string_view rest = std::string_view(point).substr(base == "/" ? 1 : base.size() + 1);
        for (size_t p = 0; p <= rest.size();) {
            const size_t slash = std::min(rest.find('/', p), rest.size());
            const std::string_view name = rest.substr(p, slash - p);
            p = slash + 1;
            if (name.empty())
                continue;
            auto it = node->children.find(name);
            if (it == node->children.end())
                it = node->children.emplace(std::string(name), std::make_unique<Node>()).first;
            node = it->second.get();
        }
        node->mounted = true;
        node->type = std::string(dash[1]);
        node->device = makedev(major, minor);
    }
}

const MountTree::Node* MountTree::child(const Node* node, std::string_view name) {
    if (!node)
        return nullptr;
    const auto it = node->children.find(name);
    return it == node->children.end() ? nullptr : it->second.get();
}

std::string readMountInfo() {
    std::string text;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    return text;
}

bool isKernelFileSystem(std::string_view type) {
    static constexpr std::string_view kernel[] = {
        "proc",   "sysfs", "devtmpfs", "devpts",  "cgroup", "cgroup2",   "debugfs",  "tracefs",     "securityfs",
        "pstore", "bpf",   "configfs", "fusectl", "mqueue", "hugetlbfs", "efivarfs", "binfmt_misc", "autofs"};
    return std::find(std::begin(kernel), std::end(kernel), type) != std::end(kernel);
}

} // namespace platform
