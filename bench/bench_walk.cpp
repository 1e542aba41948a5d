// The type-counting walk against find and against a bare getdents64 + statx walk on the same
// tree, in one run.
//
// Usage: bench_walk ROOT [REPEATS=5] [WORKERS=default[,more...]] [cold]
// Prints the median time of each and the ratios. With "cold" the page cache is dropped before
// every measurement (as root; the benchmark says so when it cannot), else the cache is warm.
// Several worker counts, separated by commas, are measured in turn.

#include "bench/BareWalk.h"
#include "bench/DropCaches.h"
#include "walk/FolderWalker.h"
#include "walk/RunState.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A host like the window's: a real pump, an option snapshot and labels whose texts are made when
// their counts move.
class BenchHost : public ScanHost {
public:
    void pump() override {
        QCoreApplication::processEvents();
        ++pumps;
    }
    ScanOptions options() const override { return ScanOptions(); }
    void showProgress(const WalkProgress& progress) override {
        if (progress.settledEntries != m_entries || progress.rows != m_rows) {
            m_entries = progress.settledEntries;
            m_rows = progress.rows;
            fileCount = QStringLiteral("%1/%2").arg(m_entries).arg(m_rows);
        }
        if (progress.totalFiles != m_total) {
            m_total = progress.totalFiles;
            totalText = QString::number(m_total);
        }
    }

    QString fileCount;
    QString totalText;
    long pumps = 0;

private:
    qint64 m_entries = -1;
    qint64 m_rows = -1;
    qint32 m_total = -1;
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

double processCpuSeconds() {
    struct rusage usage;
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct BareTime {
    double seconds = 0;
    double cpu = 0;
};

BareTime timeBare(const std::string& root, int threads) {
    const double cpu0 = processCpuSeconds();
    const auto t0 = Clock::now();
    bareWalk(root, threads);
    return {std::chrono::duration<double>(Clock::now() - t0).count(), processCpuSeconds() - cpu0};
}

struct WalkResult {
    double seconds = 0;
    qint32 types = 0;
    qint32 files = 0;
    qint64 entries = 0;
    long pumps = 0;
    size_t peakBytes = 0;
    long switches = 0;  // context switches of the whole process, workers included
    double walkCpu = 0; // processor time of the walk's own thread
    double cpu = 0;     // processor time of the whole process, workers included
};

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long contextSwitches() {
    struct rusage usage;
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_nvcsw + usage.ru_nivcsw : 0;
}

WalkResult timeWalk(const std::string& root, int workers) {
    BenchHost host;
    TDataList dataList;
    TDataIndexList indexList;
    TFileList fileList;
    RunState run;
    WalkResult r;
    const long switches = contextSwitches();
    const double cpu0 = threadCpuSeconds();
    const double all0 = processCpuSeconds();
    const auto t0 = Clock::now();
    FolderWalker walker(host, run, dataList, indexList, fileList);
    walker.setReadAheadWorkers(workers);
    walker.ScanFolder(QString::fromLocal8Bit(root.c_str()), true, WalkMode::CountTypes);
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    r.types = qint32(dataList.size());
    r.files = run.TotalFiles;
    r.entries = run.EntryCount;
    r.pumps = host.pumps;
    r.switches = contextSwitches() - switches;
    r.walkCpu = threadCpuSeconds() - cpu0;
    r.cpu = processCpuSeconds() - all0;
    r.peakBytes = walker.readAheadPeakBytes();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [REPEATS] [WORKERS[,WORKERS...]] [cold]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<int> workerCounts;
    if (argc > 3 && std::string(argv[3]) != "default") {
        std::stringstream list(argv[3]);
        for (std::string item; std::getline(list, item, ',');)
            workerCounts.push_back(std::max(0, std::atoi(item.c_str())));
    }
    if (workerCounts.empty())
        workerCounts.push_back(ReadAheadSettings::defaultWorkers());
    const bool cold = argc > 4 && std::string(argv[4]) == "cold";
    if (cold && !canDropCaches()) {
        std::printf("cannot drop the page cache (needs root): the cold figures below are warm\n");
    }
    const auto prepare = [&] {
        if (cold)
            dropCaches();
    };
    const char* state = cold ? "cold" : "warm";

    timeFind(root); // warm the cache, and the program
    std::printf("%s, %d rounds of find, walk and bare walk in turn, medians (ratios: median of the rounds' ratios, "
                "so that a machine whose speed drifts compares each walk with the find beside it)\n",
                state, repeats);
    for (int workers : workerCounts) {
        std::vector<double> findTimes, walkTimes, bareTimes, byFind, byBare, walkCpus, bareCpus;
        WalkResult last;
        for (int r = 0; r < repeats; ++r) {
            prepare();
            const double f = timeFind(root);
            prepare();
            last = timeWalk(root, workers);
            prepare();
            const BareTime bare = timeBare(root, std::max(1, workers));
            const double b = bare.seconds;
            walkCpus.push_back(last.cpu / last.seconds);
            bareCpus.push_back(bare.cpu / bare.seconds);
            findTimes.push_back(f);
            walkTimes.push_back(last.seconds);
            bareTimes.push_back(b);
            byFind.push_back(last.seconds / f);
            byBare.push_back(last.seconds / b);
        }
        std::printf("find -type f -printf '%%s %%f\\n':   %.3f s\n", median(findTimes));
        std::printf(
            "walk, %2d workers:                 %.3f s  (%d files, %d types, %lld entries, %ld pumps, %ld switches)\n",
            workers, median(walkTimes), last.files, last.types, static_cast<long long>(last.entries), last.pumps,
            last.switches);
        std::printf("walk's own thread: %.3f s of processor time; read-ahead peak: %.1f MiB (target <= 64 MiB)\n",
                    last.walkCpu, double(last.peakBytes) / (1 << 20));
        std::printf("bare getdents64+statx, %2d threads: %.3f s\n", std::max(1, workers), median(bareTimes));
        // Processors kept busy: processor time of the whole process over the time taken.
        std::printf("processors busy: walk %.2f, bare %.2f\n", median(walkCpus), median(bareCpus));
        std::printf("ratio walk/find %.2f, walk/bare %.2f\n", median(byFind), median(byBare));
    }
    return 0;
}
