#include "support/DropRights.h"

#include <cstdlib>
#include <unistd.h>

bool dropRootRights(const std::string& path) {
    if (::geteuid() != 0)
        return true;
    const std::string command = "chown -R 65534:65534 '" + path + "'";
    return std::system(command.c_str()) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}
