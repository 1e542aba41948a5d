#pragma once

// The least a walk must do, for comparison: getdents64 of every folder and one statx per
// non-folder entry, on a given number of threads sharing one stack of folders. No ordering, no
// records, no events; links never followed.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct BareWalkResult {
    long long files = 0;
    long long bytes = 0;
};

inline BareWalkResult bareWalk(const std::string& root, int threads) {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::string> stack{root};
    int busy = 0;
    std::atomic<long long> files{0}, bytes{0};

    auto work = [&] {
        std::vector<char> buffer(64 * 1024);
        std::vector<std::string> found;
        for (;;) {
            std::string path;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return !stack.empty() || busy == 0; });
                if (stack.empty())
                    return;
                path = std::move(stack.back());
                stack.pop_back();
                ++busy;
            }
            long long f = 0, b = 0;
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (fd >= 0) {
                for (;;) {
                    const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
                    if (n <= 0)
                        break;
                    for (ssize_t off = 0; off < n;) {
                        const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + off);
                        off += d->d_reclen;
                        if (d->d_type == DT_DIR) {
                            if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                                found.push_back(path + "/" + d->d_name);
                            continue;
                        }
                        struct statx st;
                        if (::statx(fd, d->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                                    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &st) == 0 &&
                            S_ISREG(st.stx_mode)) {
                            ++f;
                            b += static_cast<long long>(st.stx_size);
                        }
                    }
                }
                ::close(fd);
            }
            files += f;
            bytes += b;
            std::lock_guard lock(mutex);
            for (std::string& p : found)
                stack.push_back(std::move(p));
            found.clear();
            --busy;
            cv.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < std::max(1, threads); ++i)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    return {files.load(), bytes.load()};
}
