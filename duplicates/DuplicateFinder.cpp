#include "duplicates/DuplicateFinder.h"

#include "duplicates/DuplicateReader.h"
#include "duplicates/FolderDescriptor.h"
#include "duplicates/ReadWorkers.h"
#include "records/ChunkedArray.h"
#include "records/PathArena.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Status = DuplicateReader::Status;
using Outcome = DuplicateReader::Outcome;
using Indexes = std::vector<quint32>;
using Batches = std::vector<std::pair<quint32, quint32>>; // [begin, end) in a list of candidates

// What the Stat step found of a candidate.
constexpr qint32 kRegular = 0;
constexpr qint32 kOther = -1; // anything but a regular file; above 0: the errno of the look

// Files of one folder looked at or opened together, at most this many at a time, so that the
// workers share a large folder.
constexpr quint32 kStatBatch = 256;
constexpr quint32 kQuickBatch = 32;

// A candidate by its folder and its name in it.
struct Name {
    quint32 folder = 0;
    PathArena::Ref name; // with a NUL after it
};

// A candidate that could not be compared: errno, or 0 when it changed.
struct Problem {
    quint32 candidate = 0;
    int error = 0;
};

// Each worker's own space to put a whole path together.
std::string& pathBuffer() {
    thread_local std::string buffer;
    return buffer;
}

} // namespace

// The candidates and what the Stat step found of them, shared by the search and its workers.
struct DuplicateCandidates {
    PathArena arena;
    // Each folder's path up to and with its last "/" (empty: the current folder), then a NUL.
    std::vector<PathArena::Ref> folders;
    ChunkedArray<Name> names;
    std::vector<FileFacts> facts; // of each candidate, from the Stat step
    std::vector<qint32> looks;    // kRegular, kOther or an errno
    std::function<void(DuplicateStage, std::string_view)> beforeRead;

    static std::string_view withoutNul(std::string_view stored) { return stored.substr(0, stored.size() - 1); }
    quint32 folderOf(size_t i) const { return names[i].folder; }
    std::string_view folder(size_t i) const { return withoutNul(arena.view(folders[names[i].folder])); }
    std::string_view name(size_t i) const { return withoutNul(arena.view(names[i].name)); }
    const char* cName(size_t i) const { return arena.view(names[i].name).data(); }
    // The whole path, NUL-terminated, in this thread's buffer until its next call.
    const char* path(size_t i) const {
        std::string& buffer = pathBuffer();
        buffer.assign(folder(i));
        buffer.append(name(i));
        return buffer.c_str();
    }
    QByteArray pathBytes(size_t i) const {
        const std::string_view f = folder(i), n = name(i);
        QByteArray bytes(qsizetype(f.size() + n.size()), Qt::Uninitialized);
        std::copy(f.begin(), f.end(), bytes.data());
        std::copy(n.begin(), n.end(), bytes.data() + f.size());
        return bytes;
    }
    void announce(DuplicateStage stage, size_t i) const {
        if (beforeRead)
            beforeRead(stage, path(i));
    }
};

namespace {

// Runs one step's jobs on the workers, reporting its progress from zero to its end. False when
// the search was cancelled.
bool runStep(ReadWorkers& workers, DuplicateStage stage, size_t jobs, qint64 totalFiles, qint64 totalBytes,
             ReadWorkers::Job job, const DuplicateFinder::Progress& progress, DuplicateResult& result,
             int maxWorkers = 0) {
    DuplicateProgress p;
    p.stage = stage;
    p.totalFiles = totalFiles;
    p.totalBytes = totalBytes;
    if (progress)
        progress(p);
    const bool done = workers.run(
        jobs, std::move(job),
        [&](qint64 files, qint64 bytes) {
            p.files = files;
            p.bytes = bytes;
            if (progress)
                progress(p);
        },
        maxWorkers);
    result.bytesRead += p.bytes;
    return done;
}

// Runs of equal keys in a sorted list: calls take(begin, end) for each run of two or more.
template <class SameKey, class Take> void forEachRun(const Indexes& sorted, SameKey same, Take take) {
    for (size_t begin = 0; begin < sorted.size();) {
        size_t end = begin + 1;
        while (end < sorted.size() && same(sorted[begin], sorted[end]))
            ++end;
        if (end - begin >= 2)
            take(begin, end);
        begin = end;
    }
}

// The list cut into batches of candidates of one folder, each at most limit long.
Batches batchesByFolder(const Indexes& list, const DuplicateCandidates& data, quint32 limit) {
    Batches batches;
    for (quint32 begin = 0; begin < list.size();) {
        quint32 end = begin + 1;
        while (end < list.size() && end - begin < limit && data.folderOf(list[end]) == data.folderOf(list[begin]))
            ++end;
        batches.emplace_back(begin, end);
        begin = end;
    }
    return batches;
}

// The folder of a batch, held open while the batch runs when it has more than one file: a single
// file is reached as cheaply by its path.
struct BatchFolder {
    BatchFolder(const DuplicateCandidates& data, quint32 candidate, quint32 files) {
        if (files > 1)
            folder.emplace(data.folder(candidate));
    }
    // The folder descriptor and name to reach candidate i by, or AT_FDCWD and its path.
    std::pair<int, const char*> reach(const DuplicateCandidates& data, quint32 i) const {
        if (folder && folder->fd() >= 0 && !data.name(i).empty())
            return {folder->fd(), data.cName(i)};
        return {AT_FDCWD, data.path(i)};
    }
    std::optional<FolderDescriptor> folder;
};

void noteProblem(std::vector<Problem>& problems, quint32 candidate, const Outcome& outcome) {
    switch (outcome.status) {
    case Status::Failed:
        problems.push_back({candidate, outcome.error});
        break;
    case Status::Changed:
        problems.push_back({candidate, 0});
        break;
    case Status::Done:
    case Status::Cancelled:
        break;
    }
}

} // namespace

DuplicateFinder::DuplicateFinder(const DuplicateOptions& options)
    : m_options(options), m_data(std::make_shared<DuplicateCandidates>()) {
    m_data->beforeRead = options.beforeRead;
    ReadWorkers::Settings settings;
    settings.workers = options.workers > 0 ? options.workers : DuplicateOptions::defaultWorkers();
    settings.readSize = options.readSize;
    settings.progressInterval = options.progressInterval;
    settings.stopGrace = options.stopGrace;
    m_workers = std::make_unique<ReadWorkers>(settings);
}

DuplicateFinder::~DuplicateFinder() = default;

void DuplicateFinder::add(std::string_view path) {
    Q_ASSERT(!m_ran);
    DuplicateCandidates& d = *m_data;
    const size_t slash = path.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    const std::string_view name = path.substr(folder.size());
    // Each folder's path is kept once; the map's keys are views of the kept paths.
    auto it = m_folderIds.find(folder);
    if (it == m_folderIds.end()) {
        std::string stored(folder);
        const PathArena::Ref ref = d.arena.append(std::string_view(stored.c_str(), stored.size() + 1));
        d.folders.push_back(ref);
        it = m_folderIds.emplace(DuplicateCandidates::withoutNul(d.arena.view(ref)), quint32(d.folders.size() - 1))
                 .first;
    }
    std::string stored(name);
    d.names.push_back({it->second, d.arena.append(std::string_view(stored.c_str(), stored.size() + 1))});
}

qsizetype DuplicateFinder::candidateCount() const {
    return qsizetype(m_data->names.size());
}

void DuplicateFinder::cancel() {
    m_workers->cancel();
}

DuplicateResult DuplicateFinder::run(const Progress& progress) {
    Q_ASSERT(!m_ran);
    m_ran = true;
    std::unordered_map<std::string_view, quint32>().swap(m_folderIds);
    DuplicateResult result;
    const std::shared_ptr<DuplicateCandidates> data = m_data;
    const quint32 n = quint32(data->names.size());
    result.candidates = qint64(n);
    const auto cancelled = [] {
        DuplicateResult r;
        r.cancelled = true;
        return r;
    };
    std::vector<Problem> problems;

    // Stat: what each candidate is, the files of a folder together.
    data->facts.resize(n);
    data->looks.resize(n);
    auto all = std::make_shared<Indexes>(n);
    for (quint32 i = 0; i < n; ++i)
        (*all)[i] = i;
    const auto statBatches = std::make_shared<Batches>(batchesByFolder(*all, *data, kStatBatch));
    all.reset();
    const bool looked = runStep(
        *m_workers, DuplicateStage::Stat, statBatches->size(), qint64(n), 0,
        [data, statBatches](size_t b, DuplicateReader& reader) -> qint64 {
            const auto [begin, end] = (*statBatches)[b];
            const BatchFolder folder(*data, begin, end - begin);
            for (quint32 i = begin; i < end && !reader.isCancelled(); ++i) {
                data->announce(DuplicateStage::Stat, i);
                qint32& look = data->looks[i];
                bool regular = false;
                // No file has such a path; the system would read it only up to the NUL.
                if (data->name(i).find('\0') != std::string_view::npos ||
                    data->folder(i).find('\0') != std::string_view::npos) {
                    look = EINVAL;
                    continue;
                }
                const auto [at, name] = folder.reach(*data, i);
                if (!FileFacts::lstatAt(at, name, data->facts[i], regular))
                    look = errno;
                else
                    look = regular ? kRegular : kOther;
            }
            return end - begin;
        },
        progress, result);
    if (!looked)
        return cancelled();

    const std::vector<FileFacts>& facts = data->facts;
    Indexes regular;
    for (quint32 i = 0; i < n; ++i) {
        const qint32 look = data->looks[i];
        if (look > 0)
            problems.push_back({i, look});
        const qint64 size = facts[i].size;
        if (look == kRegular && size >= m_options.minimumSize && (size > 0 || m_options.includeEmpty))
            regular.push_back(i);
    }
    std::vector<qint32>().swap(data->looks);

    // One file per inode, under its first name; its other names are kept beside it.
    std::sort(regular.begin(), regular.end(), [&](quint32 a, quint32 b) {
        return std::tie(facts[a].device, facts[a].inode, a) < std::tie(facts[b].device, facts[b].inode, b);
    });
    Indexes files;
    std::vector<std::pair<quint32, quint32>> otherNames; // (the file's first name, a further one)
    for (size_t begin = 0; begin < regular.size();) {
        const quint32 first = regular[begin];
        size_t end = begin + 1;
        while (end < regular.size() && facts[regular[end]].isSameFile(facts[first]))
            ++end;
        files.push_back(first);
        for (size_t k = begin + 1; k < end; ++k) {
            // The very same path given again is no further name; folders are kept once, so equal
            // paths have equal folders.
            const quint32 c = regular[k];
            const bool repeated =
                std::any_of(regular.begin() + qsizetype(begin), regular.begin() + qsizetype(k), [&](quint32 earlier) {
                    return data->folderOf(earlier) == data->folderOf(c) && data->name(earlier) == data->name(c);
                });
            if (!repeated)
                otherNames.emplace_back(first, c);
        }
        begin = end;
    }
    Indexes().swap(regular);
    result.files = qint64(files.size());

    // Quick: files of a size another file shares, a folder's files together, in inode order, which
    // is close to the order on the disk.
    std::sort(files.begin(), files.end(),
              [&](quint32 a, quint32 b) { return std::tie(facts[a].size, a) < std::tie(facts[b].size, b); });
    const auto quick = std::make_shared<Indexes>();
    forEachRun(
        files, [&](quint32 a, quint32 b) { return facts[a].size == facts[b].size; },
        [&](size_t begin, size_t end) {
            quick->insert(quick->end(), files.begin() + qsizetype(begin), files.begin() + qsizetype(end));
        });
    Indexes().swap(files);
    std::sort(quick->begin(), quick->end(), [&](quint32 a, quint32 b) {
        return std::make_tuple(data->folderOf(a), facts[a].device, facts[a].inode) <
               std::make_tuple(data->folderOf(b), facts[b].device, facts[b].inode);
    });
    result.quickFiles = qint64(quick->size());
    qint64 quickBytes = 0;
    for (const quint32 c : *quick)
        quickBytes += std::min(facts[c].size, DuplicateReader::kWholeUpTo);
    const auto quickBatches = std::make_shared<Batches>(batchesByFolder(*quick, *data, kQuickBatch));
    auto quickOut = std::make_shared<std::vector<Outcome>>(quick->size());
    const bool quickDone = runStep(
        *m_workers, DuplicateStage::Quick, quickBatches->size(), qint64(quick->size()), quickBytes,
        [data, quick, quickBatches, quickOut](size_t b, DuplicateReader& reader) -> qint64 {
            const auto [begin, end] = (*quickBatches)[b];
            const BatchFolder folder(*data, (*quick)[begin], end - begin);
            for (quint32 k = begin; k < end && !reader.isCancelled(); ++k) {
                const quint32 c = (*quick)[k];
                data->announce(DuplicateStage::Quick, c);
                const auto [at, name] = folder.reach(*data, c);
                (*quickOut)[k] = reader.quickHash(at, name, data->facts[c]);
            }
            return end - begin;
        },
        progress, result);
    if (!quickDone)
        return cancelled();

    // Files of equal size and hash: groups when the hash covered them whole, else read whole.
    std::vector<Indexes> groups;
    const auto sortByHash = [&](const Indexes& order, const std::vector<Outcome>& outcomes) {
        Indexes done; // positions in order
        for (quint32 i = 0; i < order.size(); ++i) {
            if (outcomes[i].status == Status::Done)
                done.push_back(i);
            else
                noteProblem(problems, order[i], outcomes[i]);
        }
        std::sort(done.begin(), done.end(), [&](quint32 a, quint32 b) {
            return std::tie(facts[order[a]].size, outcomes[a].hash, order[a]) <
                   std::tie(facts[order[b]].size, outcomes[b].hash, order[b]);
        });
        return done;
    };
    const auto groupRuns = [&](const Indexes& order, const std::vector<Outcome>& outcomes, auto take) {
        const Indexes sorted = sortByHash(order, outcomes);
        forEachRun(
            sorted,
            [&](quint32 a, quint32 b) {
                return facts[order[a]].size == facts[order[b]].size && outcomes[a].hash == outcomes[b].hash;
            },
            [&](size_t begin, size_t end) {
                Indexes members;
                for (size_t k = begin; k < end; ++k)
                    members.push_back(order[sorted[k]]);
                take(std::move(members));
            });
    };
    const auto full = std::make_shared<Indexes>();
    groupRuns(*quick, *quickOut, [&](Indexes members) {
        if (facts[members.front()].size <= DuplicateReader::kWholeUpTo)
            groups.push_back(std::move(members));
        else
            full->insert(full->end(), members.begin(), members.end());
    });
    quickOut.reset();

    // Full: the whole content of larger files whose quick hashes agree.
    std::sort(full->begin(), full->end(), [&](quint32 a, quint32 b) {
        return std::tie(facts[a].device, facts[a].inode) < std::tie(facts[b].device, facts[b].inode);
    });
    result.fullFiles = qint64(full->size());
    qint64 fullBytes = 0;
    for (const quint32 c : *full)
        fullBytes += facts[c].size;
    const auto fullOut = std::make_shared<std::vector<Outcome>>(full->size());
    const bool fullDone = runStep(
        *m_workers, DuplicateStage::Full, full->size(), qint64(full->size()), fullBytes,
        [data, full, fullOut](size_t i, DuplicateReader& reader) -> qint64 {
            const quint32 c = (*full)[i];
            data->announce(DuplicateStage::Full, c);
            (*fullOut)[i] = reader.fullHash(AT_FDCWD, data->path(c), data->facts[c]);
            return 1;
        },
        progress, result, std::max(1, m_options.wholeFileReaders));
    if (!fullDone)
        return cancelled();
    groupRuns(*full, *fullOut, [&](Indexes members) { groups.push_back(std::move(members)); });

    // Compare: the bytes of each group's files, which may split a group or leave files out.
    if (m_options.paranoid) {
        const auto toCompare = std::make_shared<std::vector<Indexes>>(std::move(groups));
        groups.clear();
        struct Sorted {
            std::vector<int> labels;
            std::vector<Outcome> outcomes;
        };
        const auto sorted = std::make_shared<std::vector<Sorted>>(toCompare->size());
        qint64 compareFiles = 0, compareBytes = 0;
        for (const Indexes& g : *toCompare) {
            compareFiles += qint64(g.size());
            compareBytes += 2 * qint64(g.size() - 1) * facts[g.front()].size;
        }
        const bool compared = runStep(
            *m_workers, DuplicateStage::Compare, toCompare->size(), compareFiles, compareBytes,
            [data, toCompare, sorted](size_t g, DuplicateReader& reader) -> qint64 {
                const Indexes& members = (*toCompare)[g];
                std::vector<std::string> paths;
                std::vector<const char*> cPaths;
                std::vector<const FileFacts*> memberFacts;
                for (const quint32 c : members) {
                    paths.emplace_back(data->path(c));
                    memberFacts.push_back(&data->facts[c]);
                }
                for (const std::string& p : paths)
                    cPaths.push_back(p.c_str());
                Sorted& out = (*sorted)[g];
                reader.sortByBytes(
                    cPaths, memberFacts, [&](size_t k) { data->announce(DuplicateStage::Compare, members[k]); },
                    out.labels, out.outcomes);
                return qint64(members.size());
            },
            progress, result, std::max(1, m_options.wholeFileReaders / 2));
        if (!compared)
            return cancelled();
        for (size_t g = 0; g < toCompare->size(); ++g) {
            const Indexes& members = (*toCompare)[g];
            const Sorted& out = (*sorted)[g];
            std::vector<Indexes> byLabel;
            for (size_t k = 0; k < members.size(); ++k) {
                noteProblem(problems, members[k], out.outcomes[k]);
                const int label = out.labels[k];
                if (label < 0)
                    continue;
                if (size_t(label) >= byLabel.size())
                    byLabel.resize(size_t(label) + 1);
                byLabel[size_t(label)].push_back(members[k]);
            }
            for (Indexes& set : byLabel)
                groups.push_back(std::move(set));
        }
    }
    if (m_workers->isCancelled())
        return cancelled();

    // The result, in an order that depends on the files alone.
    std::sort(otherNames.begin(), otherNames.end());
    result.groups.reserve(groups.size());
    for (const Indexes& members : groups) {
        DuplicateGroup group;
        group.size = facts[members.front()].size;
        for (const quint32 c : members) {
            DuplicateFile file;
            file.path = data->pathBytes(c);
            file.facts = facts[c];
            auto it = std::lower_bound(otherNames.begin(), otherNames.end(), std::make_pair(c, quint32(0)));
            for (; it != otherNames.end() && it->first == c; ++it)
                file.otherNames.push_back(data->pathBytes(it->second));
            group.files.push_back(std::move(file));
        }
        result.wasted += group.wasted();
        result.groups.push_back(std::move(group));
    }
    std::sort(result.groups.begin(), result.groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        const qint64 wa = a.wasted(), wb = b.wasted();
        if (wa != wb)
            return wa > wb;
        if (a.size != b.size)
            return a.size > b.size;
        return a.files.front().path < b.files.front().path;
    });
    std::sort(problems.begin(), problems.end(),
              [](const Problem& a, const Problem& b) { return a.candidate < b.candidate; });
    for (const Problem& p : problems)
        result.unread.push_back({data->pathBytes(p.candidate), p.error});
    return result;
}
