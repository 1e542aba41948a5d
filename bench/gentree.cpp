// Generates a reproducible folder tree that looks like a user's tree, for the benchmarks:
//
// - FILES files in FOLDERS folders at depths 1 to 8, paths of about 85 bytes on average;
// - names of every length (1 to 60 bytes), a mix of extensions and letter cases, names without an
//   extension, hidden files and folders, non-ASCII names and names that are not UTF-8;
// - modification times spread evenly over twenty years, to the second, so almost no two files
//   share a minute; sizes spread over every unit (set with ftruncate, so the tree takes little space);
// - symbolic links to files and folders, and dangling ones;
// - one large folder holding BIG of the files (FILES / 15 by default).
//
// Usage: gentree ROOT [FILES=300000] [FOLDERS=15000] [SEED=1] [BIG]
// Does nothing when ROOT already holds a tree made with the same arguments.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kExtensions[] = {
    ".txt", ".TXT", ".c",   ".h",   ".cpp", ".hpp",  ".py",    ".js",   ".json", ".xml", ".html", ".css",
    ".png", ".jpg", ".JPG", ".gif", ".svg", ".pdf",  ".doc",   ".docx", ".xls",  ".odt", ".mp3",  ".ogg",
    ".mp4", ".mkv", ".zip", ".gz",  ".xz",  ".tar",  ".deb",   ".so",   ".o",    ".a",   ".md",   ".rst",
    ".sh",  ".pl",  ".rb",  ".go",  ".rs",  ".java", ".class", ".jar",  ".ini",  ".cfg", ".conf", ".log",
    ".csv", ".tsv", ".sql", ".db",  ".bak", ".tmp",  ".iso",   ".ttf",  ".otf",  ".wav", ".flac", "",
};
constexpr size_t kExtensionCount = sizeof(kExtensions) / sizeof(kExtensions[0]);

// Pieces of names, ASCII and not: accented Latin, Cyrillic, Greek, Japanese, an emoji.
const char* const kWords[] = {
    "report",
    "photo",
    "IMG",
    "data",
    "backup",
    "notes",
    "draft",
    "final",
    "v2",
    "copy",
    "Invoice",
    "scan",
    "track",
    "readme",
    "build",
    "src",
    "test",
    "2019",
    "misc",
    "home",
    "music",
    "Projects",
    "caf\xc3\xa9",
    "\xc3\xa9t\xc3\xa9",
    "\xd0\xbe\xd1\x82\xd1\x87\xd1\x91\xd1\x82",
    "\xce\xb1\xce\xb2\xce\xb3",
    "\xe5\x86\x99\xe7\x9c\x9f",
    "\xf0\x9f\x8e\xb5",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
constexpr size_t kAsciiWords = 22;

bool makeDir(const std::string& p) {
    return ::mkdir(p.c_str(), 0755) == 0 || errno == EEXIST;
}

class Names {
public:
    explicit Names(unsigned seed) : m_rng(seed) {}

    // A name of roughly the given length, made of words and separators.
    std::string name(size_t length) {
        std::string out;
        const bool foreign = chance(0.04);
        while (out.size() < length) {
            if (!out.empty())
                out += "_- "[pick(3)];
            out += kWords[foreign ? pick(kWordCount) : pick(kAsciiWords)];
            if (chance(0.3))
                out += std::to_string(pick(10000));
        }
        out.resize(std::min(out.size(), std::max<size_t>(length, 1)));
        // A multi-byte character cut in two is exactly the kind of name that is not UTF-8.
        if (chance(0.002))
            out += '\xff';
        while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
            out.pop_back();
        return out.empty() ? std::string("x") : out;
    }
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_rng); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
    std::mt19937_64& rng() { return m_rng; }

private:
    std::mt19937_64 m_rng;
};

struct Folder {
    std::string path;
    int depth;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [FILES] [FOLDERS] [SEED] [BIG]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const long files = argc > 2 ? std::atol(argv[2]) : 300000;
    const long folders = argc > 3 ? std::atol(argv[3]) : 15000;
    const unsigned seed = argc > 4 ? unsigned(std::atol(argv[4])) : 1u;
    const long big = argc > 5 ? std::atol(argv[5]) : files / 15;
    const std::string stamp = root + "/.gentree-real-" + std::to_string(files) + "-" + std::to_string(folders) + "-" +
                              std::to_string(seed) + "-" + std::to_string(big);
    if (::access(stamp.c_str(), F_OK) == 0)
        return 0;
    if (!makeDir(root)) {
        std::perror(root.c_str());
        return 1;
    }

    Names names(seed);
    // Each folder goes under an earlier one, at a depth from 1 to 8 drawn so that the middle
    // depths are the most common, as in a home folder.
    std::vector<Folder> dirs{{root, 0}};
    dirs.reserve(size_t(folders) + 2);
    std::vector<std::vector<size_t>> atDepth(9);
    atDepth[0].push_back(0);
    std::discrete_distribution<int> pickDepth({0, 10, 20, 25, 20, 12, 7, 4, 2});
    for (long i = 0; i < folders; ++i) {
        int depth = pickDepth(names.rng());
        while (atDepth[size_t(depth - 1)].empty())
            --depth;
        const std::vector<size_t>& parents = atDepth[size_t(depth - 1)];
        const std::string parent = dirs[parents[names.pick(parents.size())]].path;
        const std::string leaf = (names.chance(0.03) ? "." : "") + names.name(1 + names.pick(14));
        std::string d = parent + "/" + leaf + "~" + std::to_string(i);
        if (!makeDir(d)) {
            std::perror(d.c_str());
            return 1;
        }
        atDepth[size_t(depth)].push_back(dirs.size());
        dirs.push_back({std::move(d), depth});
    }
    const std::string bigFolder = root + "/big folder";
    if (big > 0 && !makeDir(bigFolder)) {
        std::perror(bigFolder.c_str());
        return 1;
    }

    // Twenty years to 2026-01-01, to the second; sizes log-uniform from 0 bytes to 4 GiB.
    constexpr long long kEnd = 1767225600LL;
    constexpr long long kSpan = 20LL * 365 * 24 * 3600;
    std::uniform_int_distribution<long long> pickTime(kEnd - kSpan, kEnd);
    std::uniform_real_distribution<double> pickLogSize(0, 32);
    std::vector<std::string> madeFiles;
    madeFiles.reserve(1000);
    for (long i = 0; i < files; ++i) {
        const std::string& folder = i < big ? bigFolder : dirs[names.pick(dirs.size())].path;
        std::string f = folder + "/";
        if (names.chance(0.03))
            f += '.';
        f += names.name(1 + names.pick(names.chance(0.2) ? 60 : 24)) + "#" + std::to_string(i);
        if (!names.chance(0.08))
            f += kExtensions[names.pick(kExtensionCount)];
        const int fd = ::open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(f.c_str());
            return 1;
        }
        if (::ftruncate(fd, off_t(std::exp2(pickLogSize(names.rng())) - 1)) != 0)
            std::perror(f.c_str());
        const time_t t = time_t(pickTime(names.rng()));
        const timespec times[2] = {{t, 0}, {t, long(names.pick(1000000000))}};
        if (::futimens(fd, times) != 0)
            std::perror(f.c_str());
        ::close(fd);
        if (madeFiles.size() < 1000 && names.chance(0.01))
            madeFiles.push_back(f);
    }

    // Links: to files, to folders (never entered) and to nothing.
    const long links = files / 200;
    for (long i = 0; i < links; ++i) {
        const std::string at = dirs[names.pick(dirs.size())].path + "/link " + std::to_string(i);
        std::string target;
        switch (i % 4) {
        case 0:
        case 1:
            target = madeFiles.empty() ? root : madeFiles[names.pick(madeFiles.size())];
            break;
        case 2:
            target = dirs[names.pick(dirs.size())].path;
            break;
        default:
            target = root + "/nowhere " + std::to_string(i);
        }
        if (::symlink(target.c_str(), at.c_str()) != 0 && errno != EEXIST)
            std::perror(at.c_str());
    }

    const int fd = ::open(stamp.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        ::close(fd);
    return 0;
}
