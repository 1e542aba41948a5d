#include "support/FileRights.h"

#include <cstring>
#include <initializer_list>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

__user_cap_header_struct thisThread() {
    return {_LINUX_CAPABILITY_VERSION_3, 0};
}

} // namespace

WithoutFileRights::WithoutFileRights() {
    __user_cap_header_struct header = thisThread();
    if (::syscall(SYS_capget, &header, m_saved) != 0)
        return;
    __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
    std::memcpy(reduced, m_saved, sizeof reduced);
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        reduced[cap / 32].effective &= ~(1u << (cap % 32));
    header = thisThread();
    m_changed = ::syscall(SYS_capset, &header, reduced) == 0;
}

WithoutFileRights::~WithoutFileRights() {
    if (!m_changed)
        return;
    __user_cap_header_struct header = thisThread();
    ::syscall(SYS_capset, &header, m_saved);
}
