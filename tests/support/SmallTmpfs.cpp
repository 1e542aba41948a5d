#include "support/SmallTmpfs.h"

#include <sys/mount.h>

SmallTmpfs::SmallTmpfs(const std::string& folder, int kib) : m_folder(folder) {
    const std::string options = "size=" + std::to_string(kib) + "k,mode=0755";
    m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}
