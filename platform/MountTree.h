#pragma once

#include <QtGlobal>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The mounts that stand below a folder, by the names that lead to them, as the mount table lists
// them. A walk follows it from the root's node down by each sub-folder's name and knows, before it
// opens a folder, whether another file system is mounted there and of which type: opening an
// automount point would mount it, and one whose server does not answer would hang the walk.
class MountTree {
public:
    struct Node {
        std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
        bool mounted = false; // a mount stands at this folder
        std::string type;     // its file-system type, e.g. "ext4", "proc"
        quint64 device = 0;   // its device number, as st_dev gives it
    };

    // The mounts strictly below root, an absolute path without links (realpath), read from the
    // text of /proc/self/mountinfo; a later mount on the same folder hides an earlier one.
    MountTree(std::string_view root, std::string_view mountInfo);

    // The root's node; null when nothing is mounted below it.
    const Node* top() const { return m_top.get(); }
    // The node of a sub-folder of node's folder; null when nothing is mounted at or below it.
    static const Node* child(const Node* node, std::string_view name);

private:
    std::unique_ptr<Node> m_top;
};

// The text of /proc/self/mountinfo; empty when it cannot be read.
std::string readMountInfo();

// Whether a file-system type is one of the kernel's own (proc, sysfs, cgroup, ...) or an automount
// point: none holds the user's files, and some hang or mislead a walk.
bool isKernelFileSystem(std::string_view type);

} // namespace platform
