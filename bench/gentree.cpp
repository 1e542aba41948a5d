// Generates a reproducible folder tree for the benchmarks: FILES files spread over FOLDERS folders
// of varying depth, with a mix of extensions, letter cases, hidden files and files without
// extension. Sizes are set with ftruncate, so the tree takes little disk space.
//
// Usage: gentree ROOT [FILES=300000] [FOLDERS=15000] [SEED=1]
// Does nothing when ROOT already holds a tree made with the same arguments.

#include <cerrno>
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

bool makeDir(const std::string& p) {
    return ::mkdir(p.c_str(), 0755) == 0 || errno == EEXIST;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [FILES] [FOLDERS] [SEED]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const long files = argc > 2 ? std::atol(argv[2]) : 300000;
    const long folders = argc > 3 ? std::atol(argv[3]) : 15000;
    const unsigned seed = argc > 4 ? unsigned(std::atol(argv[4])) : 1u;
    const std::string stamp =
        root + "/.gentree-" + std::to_string(files) + "-" + std::to_string(folders) + "-" + std::to_string(seed);
    if (::access(stamp.c_str(), F_OK) == 0)
        return 0;
    if (!makeDir(root)) {
        std::perror(root.c_str());
        return 1;
    }

    std::mt19937 rng(seed);
    // Each new folder goes under a random earlier one, which gives a bushy tree a few levels deep.
    std::vector<std::string> dirs{root};
    dirs.reserve(size_t(folders) + 1);
    for (long i = 0; i < folders; ++i) {
        const std::string& parent = dirs[std::uniform_int_distribution<size_t>(0, dirs.size() - 1)(rng)];
        std::string d = parent + "/dir" + std::to_string(i);
        if (!makeDir(d)) {
            std::perror(d.c_str());
            return 1;
        }
        dirs.push_back(std::move(d));
    }
    std::uniform_int_distribution<size_t> pickDir(0, dirs.size() - 1);
    std::uniform_int_distribution<size_t> pickExt(0, kExtensionCount - 1);
    std::geometric_distribution<long> pickSize(1.0 / 40000);
    for (long i = 0; i < files; ++i) {
        std::string f =
            dirs[pickDir(rng)] + (i % 97 == 0 ? "/.file" : "/File_") + std::to_string(i) + kExtensions[pickExt(rng)];
        const int fd = ::open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(f.c_str());
            return 1;
        }
        if (::ftruncate(fd, pickSize(rng)) != 0)
            std::perror(f.c_str());
        ::close(fd);
    }
    const int fd = ::open(stamp.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        ::close(fd);
    return 0;
}
