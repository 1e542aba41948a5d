// The duplicate search on a tree of copies, for bench/duplicates.sh, which times it against its peers.
//
//   bench_duplicates make ROOT [FILES=100000] [SEED=1]
//       Makes the tree once (nothing when ROOT.made names the same arguments): FILES files in
//       FILES / 15 folders; sizes from 0 to 4 MiB on a log scale, most under 32 KiB, about 1.4 GB in
//       all; a tenth of the files are copies, in groups of 2 to 5; pairs of files equal in size and
//       in their first and last 64 KiB but not in the middle; hard links, hidden files and folders,
//       names that are not ASCII, links to files and dangling links.
//   bench_duplicates run ROOT OUT [WORKERS=default]
//       Walks ROOT with the window's walk (every file, hidden and system ones included, links never
//       followed), searches the files found for duplicates (empty files left out), writes the groups
//       to OUT (one path a line, a blank line after each group) and prints its times per step and
//       its peak memory per file walked.
//   bench_duplicates compare REFERENCE=FILE NAME=FILE...
//       Reads groups written that way (jdupes, fdupes and rmlint's fdupes format write them so),
//       takes each path to its device and inode, and says whether every NAME found the same groups
//       of files as REFERENCE, and which groups differ.

#include "duplicates/DuplicateFinder.h"
#include "walk/FolderWalker.h"
#include "walk/RunState.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long peakKiB() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// ---- the tree

// A fast generator of file content; the same seed gives the same bytes.
struct SplitMix {
    quint64 state;
    quint64 next() {
        quint64 z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
};

void fill(std::vector<char>& bytes, qint64 size, quint64 seed) {
    bytes.resize(size_t(size));
    SplitMix mix{seed};
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const quint64 v = mix.next();
        std::memcpy(bytes.data() + i, &v, 8);
    }
    const quint64 v = mix.next();
    std::memcpy(bytes.data() + i, &v, bytes.size() - i);
}

bool writeFile(const std::string& path, const std::vector<char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    return ::close(fd) == 0;
}

const char* const kWords[] = {"report", "photo", "IMG",   "data",  "backup", "notes",  "draft", "final",
                              "copy",   "scan",  "track", "build", "misc",   "résumé", "Фото",  "写真"};
const char* const kExtensions[] = {".txt", ".jpg", ".png", ".pdf", ".mp3", ".c",  ".h",   ".json",
                                   ".log", ".zip", ".odt", "",     ".tar", ".gz", ".csv", ".html"};

struct Planned {
    std::string path;
    qint64 size;
    quint64 seed;
};

int makeTree(const std::string& root, int files, unsigned seed) {
    const std::string marker = root + ".made";
    const std::string args = std::to_string(files) + " " + std::to_string(seed) + "\n";
    {
        std::ifstream in(marker);
        std::string line;
        if (std::getline(in, line) && line + "\n" == args) {
            std::printf("%s already holds the tree\n", root.c_str());
            return 0;
        }
    }
    if (::access(root.c_str(), F_OK) == 0) {
        std::fprintf(stderr, "%s exists but was not made with these arguments; remove it first\n", root.c_str());
        return 2;
    }
    if (::mkdir(root.c_str(), 0755) != 0) {
        std::perror(root.c_str());
        return 2;
    }
    std::mt19937_64 rng(seed);
    const auto pick = [&](size_t n) { return size_t(rng() % n); };
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };

    // Folders at depths 1 to 7, a few hidden, some with names that are not ASCII.
    std::vector<std::string> folders{root};
    std::vector<int> depth{0};
    const int folderCount = std::max(1, files / 15);
    for (int i = 0; i < folderCount; ++i) {
        size_t parent = pick(folders.size());
        while (depth[parent] >= 7)
            parent = pick(folders.size());
        // One draw after another, so the tree does not depend on the order a compiler evaluates in.
        std::string name = chance(0.03) ? "." : "";
        name += kWords[pick(16)];
        name += "-" + std::to_string(i);
        folders.push_back(folders[parent] + "/" + name);
        depth.push_back(depth[parent] + 1);
        if (::mkdir(folders.back().c_str(), 0755) != 0) {
            std::perror(folders.back().c_str());
            return 2;
        }
    }
    int serial = 0;
    const auto newPath = [&] {
        std::string name = chance(0.05) ? "." : "";
        name += kWords[pick(16)];
        name += " " + std::to_string(serial++);
        name += kExtensions[pick(16)];
        return folders[pick(folders.size())] + "/" + name;
    };

    // Sizes: 2 to the power of a normal variable, most under 32 KiB; a few empty files.
    std::normal_distribution<double> logSize(10.7, 3.0);
    const auto size = [&]() -> qint64 {
        if (chance(0.015))
            return 0;
        return qint64(std::exp2(std::clamp(logSize(rng), 0.0, 22.0)));
    };
    const int copies = files / 10;
    const int middlePairs = std::max(1, files / 2000);
    const int originals = files - copies - 2 * middlePairs;
    std::vector<Planned> planned;
    for (int i = 0; i < originals; ++i)
        planned.push_back({newPath(), size(), rng()});
    // Copies in groups of 2 to 5, of files that are not empty.
    for (int made = 0; made < copies;) {
        const Planned original = planned[pick(size_t(originals))];
        if (original.size == 0)
            continue;
        const int extra = std::min(copies - made, 1 + int(pick(4)));
        for (int k = 0; k < extra; ++k)
            planned.push_back({newPath(), original.size, original.seed});
        made += extra;
    }
    std::vector<char> bytes;
    qint64 total = 0;
    for (const Planned& p : planned) {
        fill(bytes, p.size, p.seed);
        if (!writeFile(p.path, bytes))
            return 2;
        total += p.size;
    }
    // Pairs equal in size and in their first and last 64 KiB, different in the middle.
    for (int i = 0; i < middlePairs; ++i) {
        const qint64 s = qint64(std::exp2(std::uniform_real_distribution<double>(17.1, 20)(rng)));
        fill(bytes, s, rng());
        if (!writeFile(newPath(), bytes))
            return 2;
        bytes[size_t(s / 2)] ^= 1;
        if (!writeFile(newPath(), bytes))
            return 2;
        total += 2 * s;
    }
    // Hard links, links to files and dangling links.
    const int links = std::max(1, files / 1000);
    for (int i = 0; i < links; ++i) {
        const std::string& linked = planned[pick(planned.size())].path;
        const std::string hardLink = newPath();
        if (::link(linked.c_str(), hardLink.c_str()) != 0)
            std::perror("link");
        const std::string target = i % 5 == 0 ? root + "/nowhere" : planned[pick(planned.size())].path;
        const std::string symbolicLink = newPath();
        if (::symlink(target.c_str(), symbolicLink.c_str()) != 0)
            std::perror("symlink");
    }
    std::ofstream(marker) << args;
    std::printf("made %s: %zu files and %d pairs of equal ends in %d folders, %.2f GB, %d hard links, %d links\n",
                root.c_str(), planned.size(), middlePairs, folderCount, double(total) / 1e9, links, links);
    return 0;
}

// ---- the search

class QuietHost : public ScanHost {
public:
    void pump() override {}
    ScanOptions options() const override {
        ScanOptions o;
        o.excludeHidden = false;
        o.excludeSystem = false;
        o.nameMask.on = true;
        o.nameMask.mask = QStringLiteral("*");
        return o;
    }
    void showProgress(const WalkProgress&) override {}
};

const char* stageName(DuplicateStage stage) {
    switch (stage) {
    case DuplicateStage::Stat:
        return "stat";
    case DuplicateStage::Quick:
        return "quick hash";
    case DuplicateStage::Full:
        return "full hash";
    case DuplicateStage::Compare:
        return "compare";
    }
    return "";
}

int runSearch(const std::string& root, const std::string& out, int workers) {
    const long baseline = currentKiB();
    const Clock::time_point t0 = Clock::now();
    QuietHost host;
    RunState state;
    TDataList dataList;
    TDataIndexList indexList;
    TFileList fileList;
    {
        FolderWalker walker(host, state, dataList, indexList, fileList);
        walker.setReadAheadWorkers(ReadAheadSettings::defaultWorkers());
        walker.ScanFolder(QString::fromLocal8Bit(root.c_str()), true, WalkMode::Criteria);
    }
    const Clock::time_point walked = Clock::now();
    const qsizetype files = fileList.size();

    DuplicateOptions options;
    options.workers = workers;
    DuplicateFinder finder(options);
    for (qsizetype i = 0; i < files; ++i)
        finder.add(fileList.arena()->view(fileList.entry(i).caption));
    fileList.clear(); // the walk's list is done with: the search holds the paths now

    std::vector<std::pair<DuplicateStage, Clock::time_point>> starts;
    std::vector<DuplicateProgress> ends;
    const DuplicateResult result = finder.run([&](const DuplicateProgress& p) {
        if (starts.empty() || starts.back().first != p.stage) {
            starts.emplace_back(p.stage, Clock::now());
            ends.push_back(p);
        }
        ends.back() = p;
    });
    const Clock::time_point searched = Clock::now();

    FILE* f = std::fopen(out.c_str(), "w");
    if (!f) {
        std::perror(out.c_str());
        return 2;
    }
    for (const DuplicateGroup& g : result.groups) {
        for (const DuplicateFile& file : g.files)
            std::fprintf(f, "%s\n", file.path.constData());
        std::fputc('\n', f);
    }
    std::fclose(f);
    const long peak = peakKiB();

    std::printf("trovex: %lld files walked in %.3f s; search %.3f s (%d workers); %zu groups, %.1f MB wasted, "
                "%zu unread\n",
                static_cast<long long>(files), seconds(walked - t0), seconds(searched - walked),
                workers > 0 ? workers : DuplicateOptions::defaultWorkers(), result.groups.size(),
                double(result.wasted) / 1e6, result.unread.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        const Clock::time_point end = i + 1 < starts.size() ? starts[i + 1].second : searched;
        std::printf("  %-10s %.3f s  %lld files, %.1f MB read\n", stageName(starts[i].first),
                    seconds(end - starts[i].second), static_cast<long long>(ends[i].totalFiles),
                    double(ends[i].bytes) / 1e6);
    }
    std::printf("  peak memory %ld KiB over a baseline of %ld KiB: %lld bytes per file walked (target <= 300)\n", peak,
                baseline, static_cast<long long>((peak - baseline) * 1024 / std::max<qsizetype>(1, files)));
    return 0;
}

// ---- the comparison

using Inode = std::pair<dev_t, ino_t>;
using Group = std::vector<Inode>;

// Groups of two or more different files, each as its sorted inodes; the paths of each inode.
struct Groups {
    std::set<Group> groups;
    std::map<Inode, std::string> paths;
    long unstatable = 0;
};

Groups readGroups(const std::string& file) {
    Groups out;
    std::ifstream in(file);
    std::set<Inode> current;
    const auto flush = [&] {
        if (current.size() >= 2)
            out.groups.insert(Group(current.begin(), current.end()));
        current.clear();
    };
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            flush();
            continue;
        }
        struct stat st;
        if (::lstat(line.c_str(), &st) != 0) {
            ++out.unstatable;
            continue;
        }
        const Inode inode{st.st_dev, st.st_ino};
        current.insert(inode);
        out.paths.emplace(inode, line);
    }
    flush();
    return out;
}

void printGroup(const Group& g, const Groups& named) {
    std::printf("     ");
    for (const Inode& i : g) {
        const auto it = named.paths.find(i);
        std::printf(" %s", it == named.paths.end() ? "?" : it->second.c_str());
    }
    std::printf("\n");
}

int compareGroups(int argc, char** argv) {
    std::vector<std::pair<std::string, Groups>> all;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "compare takes NAME=FILE, not %s\n", arg.c_str());
            return 2;
        }
        all.emplace_back(arg.substr(0, eq), readGroups(arg.substr(eq + 1)));
    }
    if (all.empty())
        return 2;
    const auto& [refName, ref] = all.front();
    int differing = 0;
    for (size_t k = 1; k < all.size(); ++k) {
        const auto& [name, other] = all[k];
        std::vector<Group> onlyRef, onlyOther;
        std::set_difference(ref.groups.begin(), ref.groups.end(), other.groups.begin(), other.groups.end(),
                            std::back_inserter(onlyRef));
        std::set_difference(other.groups.begin(), other.groups.end(), ref.groups.begin(), ref.groups.end(),
                            std::back_inserter(onlyOther));
        if (onlyRef.empty() && onlyOther.empty() && other.unstatable == 0) {
            std::printf("  %-8s the same %zu groups as %s\n", name.c_str(), other.groups.size(), refName.c_str());
            continue;
        }
        ++differing;
        std::printf("  %-8s DIFFERS from %s: %zu groups against %zu; %zu only in %s, %zu only in %s; %ld paths "
                    "that no longer exist\n",
                    name.c_str(), refName.c_str(), other.groups.size(), ref.groups.size(), onlyRef.size(),
                    refName.c_str(), onlyOther.size(), name.c_str(), other.unstatable);
        for (size_t i = 0; i < std::min<size_t>(5, onlyRef.size()); ++i) {
            std::printf("    only in %s:\n", refName.c_str());
            printGroup(onlyRef[i], ref);
        }
        for (size_t i = 0; i < std::min<size_t>(5, onlyOther.size()); ++i) {
            std::printf("    only in %s:\n", name.c_str());
            printGroup(onlyOther[i], other);
        }
    }
    return differing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc >= 3)
        return makeTree(argv[2], argc > 3 ? std::max(100, std::atoi(argv[3])) : 100000,
                        argc > 4 ? unsigned(std::atoi(argv[4])) : 1u);
    if (command == "run" && argc >= 4)
        return runSearch(argv[2], argv[3], argc > 4 ? std::max(0, std::atoi(argv[4])) : 0);
    if (command == "compare" && argc >= 3)
        return compareGroups(argc - 2, argv + 2);
    std::fprintf(stderr,
                 "usage: %s make ROOT [FILES] [SEED]\n"
                 "       %s run ROOT OUT [WORKERS]\n"
                 "       %s compare REFERENCE=FILE NAME=FILE...\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
