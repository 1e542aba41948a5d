// The type-counting walk against find on the same tree, warm cache, in one run.
//
// Usage: bench_walk ROOT [REPEATS=5]
// Prints the median time of each and the ratio walk / find.

#include "search/FolderWalker.h"
#include "search/RunState.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A host like the window's: a real pump, an option snapshot and labels that keep their text.
class BenchHost : public ScanHost {
public:
    void pump() override {
        QCoreApplication::processEvents();
        ++pumps;
    }
    ScanOptions options() const override { return ScanOptions(); }
    void showFileCount(const QString& text) override { fileCount = text; }
    void showTotalFiles(qint32 total) override { totalText = QString::number(total); }

    QString fileCount;
    QString totalText;
    long pumps = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeFind(const std::string& root) {
    const std::string cmd = "find '" + root + "' -type f -printf '%s %f\\n' > /dev/null";
    const auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "find reported an error\n");
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [REPEATS]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    timeFind(root); // warm the cache
    std::vector<double> findTimes, walkTimes;
    qint32 types = 0, files = 0;
    long pumps = 0;
    RunState run;
    for (int r = 0; r < repeats; ++r) {
        findTimes.push_back(timeFind(root));

        BenchHost host;
        TDataList dataList;
        TDataIndexList indexList;
        TFileList fileList;
        run = {};
        const auto t0 = Clock::now();
        FolderWalker walker(host, run, dataList, indexList, fileList);
        walker.ScanFolder(QString::fromLocal8Bit(root.c_str()), true, QStringLiteral("+"));
        walkTimes.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        types = qint32(dataList.size());
        files = run.TotalFiles;
        pumps = host.pumps;
    }
    const double f = median(findTimes), w = median(walkTimes);
    std::printf("type-counting walk: %d files, %d types, %lld entries, %ld pumps\n", files, types,
                static_cast<long long>(run.EntryCount), pumps);
    std::printf("find -type f -printf '%%s %%f\\n': %.3f s (median of %d)\n", f, repeats);
    std::printf("walk:                             %.3f s (median of %d)\n", w, repeats);
    std::printf("ratio walk/find: %.2f (target <= 1.00)\n", w / f);
    return 0;
}
