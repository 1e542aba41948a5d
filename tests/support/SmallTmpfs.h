#pragma once

#include <string>

// A tmpfs of a few KiB mounted on an existing folder for the object's lifetime, so a test can fill
// a disk. Mounting needs the right to (root, outside a locked-down container); isMounted() says
// whether it worked.
class SmallTmpfs {
public:
    SmallTmpfs(const std::string& folder, int kib);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool isMounted() const { return m_mounted; }

private:
    std::string m_folder;
    bool m_mounted = false;
};
