#include "support/RandomTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kStems[] = {
    "report",  "IMG",        "notes", "a",       "Zeta",    "data 2", "caf\xc3\xa9", "\xd0\xb4\xd0\xbe\xd0\xbc",
    "bad\xff", "x\xfe\xfey", "-dash", "q\"uote", "comma,s", "_under", "MiXeD"};
const char* const kExtensions[] = {".txt", ".TXT", ".Txt", ".c", ".tar.gz", ".pdf", "", ".", ".jpg", ".JPG", ".d\xff"};

template <class T, size_t N> const T& pick(std::mt19937& rng, const T (&items)[N]) {
    return items[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

void makeFile(const std::string& path, long long size, long long mtime, unsigned mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
    if (mode != 0644) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    }
}

} // namespace

std::vector<std::string> makeRandomTree(const std::string& root, unsigned seed, const RandomTreeShape& shape) {
    std::mt19937 rng(seed);
    std::vector<std::string> folders{""};
    const auto abs = [&](const std::string& rel) { return rel.empty() ? root : root + "/" + rel; };
    const auto chance = [&](int percent) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; };
    const auto anyFolder = [&]() -> const std::string& {
        return folders[std::uniform_int_distribution<size_t>(0, folders.size() - 1)(rng)];
    };
    const auto join = [](const std::string& folder, const std::string& name) {
        return folder.empty() ? name : folder + "/" + name;
    };
    int serial = 0;
    const auto freshName = [&](bool hidden) {
        return std::string(hidden ? "." : "") + pick(rng, kStems) + std::to_string(serial++);
    };

    for (int i = 0; i < shape.folders; ++i) {
        const std::string rel = join(anyFolder(), freshName(chance(15)));
        if (::mkdir(abs(rel).c_str(), 0755) == 0)
            folders.push_back(rel);
    }
    for (int i = 0; i < shape.files; ++i) {
        const std::string rel = join(anyFolder(), freshName(chance(15)) + pick(rng, kExtensions));
        const long long size = chance(10) ? 0 : std::uniform_int_distribution<long long>(0, 200000)(rng);
        const long long mtime = std::uniform_int_distribution<long long>(0, 2000000000)(rng);
        makeFile(abs(rel), size, mtime, chance(15) ? 0444 : 0644);
    }
    const std::string outside = root + "/../" + root.substr(root.rfind('/') + 1) + "-outside";
    for (int i = 0; i < 12; ++i) {
        const std::string rel = join(anyFolder(), freshName(chance(20)));
        switch (i % 6) {
        case 0: // to a file inside, or a folder inside, or the folder above: never entered
            ::symlink(i % 12 == 0 ? ".." : abs(folders.back()).c_str(), abs(rel).c_str());
            break;
        case 1:
            ::symlink("/", abs(rel + ".lnk").c_str());
            break;
        case 2:
            ::symlink("nowhere/at/all", abs(rel).c_str());
            break;
        case 3:
            ::mkfifo(abs(rel + ".fifo").c_str(), 0644);
            break;
        case 4:
            ::mkdir(abs(rel).c_str(), 0755); // empty
            break;
        case 5:
            ::symlink(outside.c_str(), abs(rel).c_str());
            break;
        }
    }
    const std::string big = join(folders[std::min<size_t>(3, folders.size() - 1)], "big");
    ::mkdir(abs(big).c_str(), 0755);
    for (int i = 0; i < shape.bigFolderFiles; ++i) {
        const std::string rel = join(big, freshName(chance(5)) + pick(rng, kExtensions));
        makeFile(abs(rel), std::uniform_int_distribution<long long>(0, 5000)(rng), 1500000000 + i * 3600, 0644);
        if (i % 300 == 7)
            ::mkdir(abs(join(big, "sub" + std::to_string(i))).c_str(), 0755);
    }
    folders.push_back(big);
    if (shape.unreadable) {
        for (int i = 0; i < 3; ++i) {
            const std::string closed = join(anyFolder(), "closed-" + std::to_string(i));
            ::mkdir(abs(closed).c_str(), 0755);
            makeFile(abs(closed + "/inside.txt"), 10, 1000000000, 0644);
            ::chmod(abs(closed).c_str(), 0);
            const std::string namesOnly = join(anyFolder(), "names-only-" + std::to_string(i));
            ::mkdir(abs(namesOnly).c_str(), 0755);
            makeFile(abs(namesOnly + "/listed.txt"), 10, 1000000000, 0644);
            ::mkdir(abs(namesOnly + "/sub").c_str(), 0755);
            ::chmod(abs(namesOnly).c_str(), 0444);
        }
    }
    return folders;
}
