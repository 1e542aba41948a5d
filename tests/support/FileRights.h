#pragma once

#include <linux/capability.h>

// Takes from the calling thread, for the object's lifetime, the rights that let root read and
// search any folder, so permission checks apply to tests run as root too. Where the thread has no
// such rights (an ordinary user) nothing changes. Capabilities belong to a thread: the code under
// test must run on the thread that made the object.
class WithoutFileRights {
public:
    WithoutFileRights();
    ~WithoutFileRights();
    WithoutFileRights(const WithoutFileRights&) = delete;
    WithoutFileRights& operator=(const WithoutFileRights&) = delete;

private:
    __user_cap_data_struct m_saved[_LINUX_CAPABILITY_U32S_3] = {};
    bool m_changed = false;
};
