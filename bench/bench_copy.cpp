// Copying files against cp on the same files, in one run: one large file of random data, many
// small files, and a large sparse file with little data.
//
// Usage: bench_copy FOLDER [REPEATS=5] [LARGE_MIB=1024] [SMALL_FILES=10000]
// FOLDER must be on the file system to measure; the benchmark works in a new folder inside it and
// removes it afterwards. Prints every time, the medians and their ratios. Both sides flush their
// copies: cp is followed by sync of the copy (the large file) or of the file system (the small
// files), since a copy is not safe before that. Runs alternate, so the disk's moods hit both alike.

#include "platform/FileName.h"
#include "platform/FileOperations.h"
#include "platform/TransferBatch.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

QString q(const std::string& path) {
    return platform::decodeFileName(QByteArray::fromStdString(path));
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// The removal of the last copy is flushed (and its blocks discarded) before the next run starts.
void settle(const std::string& path) {
    run("rm -rf '" + path + "' && sync");
}

void writeFile(const std::string& path, qint64 size, std::mt19937_64& random) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<quint64> block(1 << 17);
    for (qint64 done = 0; done < size;) {
        for (quint64& word : block)
            word = random();
        const qint64 n = std::min<qint64>(size - done, qint64(block.size() * sizeof(quint64)));
        if (fd < 0 || ::write(fd, block.data(), size_t(n)) != n) {
            std::perror(path.c_str());
            std::exit(1);
        }
        done += n;
    }
    ::close(fd);
}

void report(const char* what, const std::vector<double>& ours, const std::vector<double>& theirs,
            const char* theirName) {
    std::printf("%s\n  trovex:", what);
    for (const double t : ours)
        std::printf(" %.3f", t);
    std::printf("\n  %s:", theirName);
    for (const double t : theirs)
        std::printf(" %.3f", t);
    std::printf("\n  medians %.3f s / %.3f s, ratio %.2f\n", median(ours), median(theirs),
                median(ours) / median(theirs));
}

double loadAverage() {
    double load = -1;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = -1;
        std::fclose(f);
    }
    return load;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [REPEATS=5] [LARGE_MIB=1024] [SMALL_FILES=10000]\n", argv[0]);
        return 2;
    }
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    const qint64 largeSize = (argc > 3 ? std::atoll(argv[3]) : 1024) << 20;
    const int smallFiles = argc > 4 ? std::atoi(argv[4]) : 10000;
    std::string work = std::string(argv[1]) + "/bench-copy-XXXXXX";
    if (!::mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    std::printf("load average at start %.2f\n", loadAverage());
    std::mt19937_64 random(42);

    const std::string large = work + "/large.bin";
    writeFile(large, largeSize, random);
    run("mkdir '" + work + "/small'");
    for (int i = 0; i < smallFiles; ++i)
        writeFile(work + "/small/f" + std::to_string(i) + ".dat", 4096, random);
    const std::string sparse = work + "/sparse.img";
    {
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const QByteArray data(1 << 20, 'd');
        // 1 MiB of data in 16 pieces spread over 1 GiB.
        for (int i = 0; i < 16; ++i) {
            if (fd < 0 || ::pwrite(fd, data.constData(), 64 << 10, off_t(i) * (64 << 20)) != (64 << 10))
                return 1;
        }
        if (::ftruncate(fd, off_t(1) << 30) != 0)
            return 1;
        ::close(fd);
    }
    run("sync");

    const std::string copy = work + "/copy";
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int r = 0; r < repeats; ++r) {
        settle(copy);
        auto t0 = Clock::now();
        platform::FileOpHooks hooks;
        hooks.onProgress = [](qint64, qint64) { return true; };
        const platform::FileOpResult result = platform::copyFile(q(large), q(copy), hooks);
        ours.push_back(seconds(t0));
        if (result.status != platform::FileOpStatus::Done) {
            std::fprintf(stderr, "%s\n", qPrintable(result.message));
            return 1;
        }
        settle(copy);
        t0 = Clock::now();
        run("cp '" + large + "' '" + copy + "' && sync '" + copy + "'");
        theirs.push_back(seconds(t0));
    }
    report(("one file of " + std::to_string(largeSize >> 20) + " MiB").c_str(), ours, theirs, "cp + sync");

    ours.clear();
    theirs.clear();
    for (int r = 0; r < repeats; ++r) {
        settle(copy);
        run("mkdir '" + copy + "' && sync");
        auto t0 = Clock::now();
        int done = 0;
        {
            platform::TransferBatch batch(platform::TransferBatch::Kind::Copy,
                                          [&done](const QString&, const platform::FileOpResult& result) {
                                              done += result.status == platform::FileOpStatus::Done;
                                          });
            platform::FileOpHooks hooks;
            hooks.onProgress = [](qint64, qint64) { return true; };
            for (int i = 0; i < smallFiles; ++i) {
                const std::string name = "/f" + std::to_string(i) + ".dat";
                batch.add(q(work + "/small" + name), q(copy + name), hooks);
            }
            batch.finish();
        }
        ours.push_back(seconds(t0));
        if (done != smallFiles) {
            std::fprintf(stderr, "only %d files copied\n", done);
            return 1;
        }
        settle(copy);
        t0 = Clock::now();
        run("cp -r '" + work + "/small' '" + copy + "' && sync");
        theirs.push_back(seconds(t0));
    }
    report((std::to_string(smallFiles) + " files of 4 KiB").c_str(), ours, theirs, "cp + sync");

    ours.clear();
    qint64 blocks = 0;
    for (int r = 0; r < repeats; ++r) {
        settle(copy);
        const auto t0 = Clock::now();
        const platform::FileOpResult result = platform::copyFile(q(sparse), q(copy));
        ours.push_back(seconds(t0));
        struct stat st {};
        if (result.status != platform::FileOpStatus::Done || ::stat(copy.c_str(), &st) != 0 ||
            st.st_size != (qint64(1) << 30)) {
            std::fprintf(stderr, "sparse copy failed\n");
            return 1;
        }
        blocks = qint64(st.st_blocks) * 512;
    }
    std::printf("sparse file of 1 GiB with 1 MiB of data\n  trovex:");
    for (const double t : ours)
        std::printf(" %.3f", t);
    std::printf("\n  median %.3f s, the copy holds %.2f MiB of blocks\n", median(ours), double(blocks) / (1 << 20));

    std::printf("load average at end %.2f\n", loadAverage());
    run("rm -rf '" + work + "'");
    return 0;
}
