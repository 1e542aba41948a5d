#include "walk/FolderWalker.h"

#include "platform/DirEnum.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "records/TDataIndexList.h"
#include "text/FileHelpers.h"
#include "text/MaskMatcher.h"
#include "walk/Criteria.h"
#include "walk/PumpClock.h"
#include "walk/ReadAhead.h"
#include "walk/TSearchRecW.h"

#include <cerrno>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

struct StringViewHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// Per-extension answers that depend only on the extension's bytes, so each distinct extension is
// decoded and compared once per walk instead of once per file.
template <class Value> using ExtCache = std::unordered_map<std::string, Value, StringViewHash, std::equal_to<>>;

// A file by its identity, so one of several hard links is counted once.
struct FileId {
    quint64 device;
    quint64 inode;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    size_t operator()(const FileId& id) const noexcept { return std::hash<quint64>{}(id.inode * 31 + id.device); }
};

struct TypeSlot {
    qint32 position; // in DataList
    bool counts;     // the type's record accepts this spelling
};

} // namespace

class FolderWalkerPrivate {
public:
    FolderWalkerPrivate(ScanHost& h, RunState& r, TDataList& dl, TDataIndexList& il, TFileList& fl)
        : host(h), run(r), dataList(dl), indexList(il), fileList(fl) {}

    // A folder the walk is in: its listing, the next entry to read, how many entries are ready,
    // and the length of path while in it.
    struct Level {
        ReadAhead::Folder* folder;
        ReadAhead::View dir;
        qsizetype next;
        qsizetype ready;
        size_t pathLength;
    };

    void walk(ReadAhead::Folder* root);
    bool enterFolder(ReadAhead::Folder* folder);
    bool visitFile(const Level& level, qsizetype i, const platform::DirEntry& e, std::string_view name);
    bool finishEntry();
    bool await(ReadAhead::Folder* folder, qsizetype index);
    void maybePump();
    void pumpNow();
    void takeOptions();
    void showProgress();
    // The entry under way is finished, or a file was found (see WalkProgress::settledEntries).
    void settle() { settledEntries = run.EntryCount; }
    bool passesCriteria(const platform::DirEntry& e, std::string_view name);
    bool extensionMatches(ExtCache<bool>& cache, const MaskMatcher& mask, std::string_view name);
    bool isListedType(std::string_view name);
    void noteUnreadFolder(size_t depth, int error);
    void addFileType(std::string_view name, qint64 size);
    void addFoundFile(const platform::DirEntry& e, std::string_view name, qint64 size);
    qint64 countedSize(const platform::DirEntry& e, std::string_view name);

    ScanHost& host;
    RunState& run;
    TDataList& dataList;
    TDataIndexList& indexList;
    TFileList& fileList;

    PumpClock pumpClock;
    ReadAheadSettings readAheadSettings;
    ReadAhead* reader = nullptr; // during ScanFolder
    // STOP as the walk last saw it after a pump, and since when; after the grace the walk no
    // longer waits for a listing and ends at once.
    bool stopping = false;
    std::chrono::steady_clock::time_point stopSeen;
    bool abandoned = false;

    WalkMode mode = WalkMode::CountTypes;
    bool recurse = true;
    ScanOptions opts;
    MaskMatcher typeMask; // "File type mask" in criteria mode
    MaskMatcher nameMask; // "File name mask"
    QString listedType;   // the type text in type-listing mode
    ExtCache<bool> typeMaskCache;
    ExtCache<bool> listedTypeCache;
    ExtCache<TypeSlot> typeSlots;

    std::string path; // the folder being listed, native bytes
    std::vector<Level> stack;

    // EntryCount as the walk last settled it; handed to the host at the next pump.
    qint64 settledEntries = 0;

    ScanReport report;
    size_t peakBytes = 0;

    bool diskUsage = false;
    qint64 bytesCounted = 0;
    // Files of several hard links met so far, with the first path of each (list modes only).
    std::unordered_map<FileId, std::string, FileIdHash> linkedFiles;
    std::string firstLinkPath; // of the file being added, when it is a later hard link
};

FolderWalker::FolderWalker(ScanHost& host, RunState& run, TDataList& dataList, TDataIndexList& indexList,
                           TFileList& fileList)
    : d(std::make_unique<FolderWalkerPrivate>(host, run, dataList, indexList, fileList)) {}

FolderWalker::~FolderWalker() = default;

void FolderWalker::setPumpInterval(std::chrono::nanoseconds interval) {
    d->pumpClock = PumpClock(interval);
}

void FolderWalker::setReadAheadWorkers(int workers) {
    d->readAheadSettings.workers = workers;
}

void FolderWalker::setReadAhead(const ReadAheadSettings& settings) {
    d->readAheadSettings = settings;
}

void FolderWalker::setDiskUsage(bool on) {
    d->diskUsage = on;
}

void FolderWalker::ScanFolder(const QString& folder, bool recurse, WalkMode mode, const QString& listedType) {
    Q_ASSERT(!folder.isEmpty());
    Q_ASSERT(mode == WalkMode::ListType || listedType.isEmpty());
    d->mode = mode;
    d->listedType = listedType;
    d->recurse = recurse;
    d->report = {};
    d->typeMaskCache.clear();
    d->listedTypeCache.clear();
    d->typeSlots.clear();
    d->takeOptions();
    d->path = platform::encodeFileName(folder).toStdString();
    d->pumpClock.pumped();
    d->settledEntries = d->run.EntryCount;
    d->stopping = false;
    d->abandoned = false;
    d->bytesCounted = 0;
    d->linkedFiles.clear();

    // On every way out: the host sees where the walk ended, then the reader, destroyed last, drops
    // whatever is still being read.
    ReadAhead reader(d->readAheadSettings);
    d->reader = &reader;
    struct Finish {
        FolderWalkerPrivate* p;
        ~Finish() {
            p->peakBytes = p->reader->peakBytes();
            p->reader = nullptr;
            try {
                p->showProgress();
            } catch (...) {
            }
        }
    } finish{d.get()};
    d->walk(reader.start(d->path, recurse));
}

const ScanReport& FolderWalker::report() const {
    return d->report;
}

size_t FolderWalker::readAheadPeakBytes() const {
    return d->peakBytes;
}

void FolderWalkerPrivate::takeOptions() {
    ScanOptions now = host.options();
    if (typeMask.mask() != now.typeMask.mask) {
        typeMask.setMask(now.typeMask.mask);
        typeMaskCache.clear();
    }
    if (nameMask.mask() != now.nameMask.mask)
        nameMask.setMask(now.nameMask.mask);
    opts = std::move(now);
}

void FolderWalkerPrivate::showProgress() {
    host.showProgress(
        {mode, run.EntryCount, settledEntries, qint64(fileList.size()), run.TotalFiles, bytesCounted, path});
}

void FolderWalkerPrivate::maybePump() {
    if (pumpClock.due())
        pumpNow();
}

void FolderWalkerPrivate::pumpNow() {
    // Progress is handed on at each pump rather than per entry; a person cannot tell the difference.
    showProgress();
    host.pump();
    takeOptions();
    pumpClock.pumped();
    if (run.StopSearch != stopping) {
        // Once STOP is seen nothing is read ahead any more; a handler may still clear it again.
        stopping = run.StopSearch;
        stopSeen = std::chrono::steady_clock::now();
        reader->setStopping(stopping);
    }
}

// Makes the listing of folder, and when index >= 0 the metadata of its entry index, available,
// processing events while it waits. False when the walk must end at once: STOP was seen and what
// is still needed did not come within the grace (a worker may be blocked in the kernel).
bool FolderWalkerPrivate::await(ReadAhead::Folder* folder, qsizetype index) {
    using namespace std::chrono;
    const nanoseconds interval = pumpClock.interval();
    // With a pump interval, pump on it while waiting; without one (tests), one pump per entry
    // stays exact and the wait pumps only when a worker takes very long.
    const nanoseconds slice =
        interval > nanoseconds(0) ? std::max<nanoseconds>(interval / 4, microseconds(100)) : nanoseconds(seconds(1));
    for (;;) {
        const steady_clock::time_point now = steady_clock::now();
        steady_clock::time_point deadline = now + slice;
        if (stopping) {
            const steady_clock::time_point giveUp = stopSeen + readAheadSettings.stopGrace;
            if (now >= giveUp && !reader->wait(folder, index, now)) {
                abandoned = true;
                return false;
            }
            deadline = std::min(deadline, giveUp);
        }
        // Between pumps, the workers get a moment to get ahead; tests that pump at every entry
        // are woken at once.
        if (reader->wait(folder, index, deadline, interval > nanoseconds(0) ? slice : nanoseconds(0)))
            return true;
        if (interval == nanoseconds(0) || pumpClock.due())
            pumpNow();
    }
}

bool FolderWalkerPrivate::extensionMatches(ExtCache<bool>& cache, const MaskMatcher& mask, std::string_view name) {
    const qsizetype dot = extensionOffset(name.data(), qsizetype(name.size()));
    const std::string_view ext = dot < 0 ? std::string_view() : name.substr(size_t(dot));
    auto it = cache.find(ext);
    if (it != cache.end())
        return it->second;
    const bool result = mask.matches(platform::decodeFileName(ext.data(), qsizetype(ext.size())));
    cache.emplace(std::string(ext), result);
    return result;
}

bool FolderWalkerPrivate::isListedType(std::string_view name) {
    const qsizetype dot = extensionOffset(name.data(), qsizetype(name.size()));
    const std::string_view ext = dot < 0 ? std::string_view() : name.substr(size_t(dot));
    auto it = listedTypeCache.find(ext);
    if (it == listedTypeCache.end()) {
        // The summary keys a type by the extension and groups keys by this comparison.
        const bool same = SameTextLocale(platform::decodeFileName(ext.data(), qsizetype(ext.size())), listedType);
        it = listedTypeCache.emplace(std::string(ext), same).first;
    }
    return it->second;
}

void FolderWalkerPrivate::noteUnreadFolder(size_t depth, int error) {
    if (depth == 0 && (error == ENOENT || error == ENOTDIR)) {
        report.rootMissing = true;
        return;
    }
    if (report.unreadFolders == 0) {
        report.firstPath = platform::decodeFileName(path.data(), qsizetype(path.size()));
        report.firstError = error;
    }
    ++report.unreadFolders;
}

bool FolderWalkerPrivate::passesCriteria(const platform::DirEntry& e, std::string_view name) {
    if (opts.typeMask.on && !extensionMatches(typeMaskCache, typeMask, name))
        return false;
    if (opts.nameMask.on && !nameMask.matches(platform::decodeFileName(name.data(), qsizetype(name.size()))))
        return false;
    // Dates and size that could not be read pass no condition on them.
    if ((e.attr & FileAttr::Unread) && (opts.created.on || opts.modified.on || opts.size.on))
        return false;
    const auto dateHolds = [](const DateCondition& c, qint64 fileTime) {
        return !c.on || CompareDateDays(c.date, FileTimeToDateTime(fileTime)) == wantedResult(c.relation);
    };
    if (!dateHolds(opts.created, e.created) || !dateHolds(opts.modified, e.modified))
        return false;
    if (opts.size.on && CompareSizeKb(opts.size.kilobytes, double(e.size) / 1024.0) != wantedResult(opts.size.relation))
        return false;
    return true;
}

// The size a counted file adds: its own, or with disk usage its allocated blocks, once per file of
// several hard links; a later link's first path is left in firstLinkPath.
qint64 FolderWalkerPrivate::countedSize(const platform::DirEntry& e, std::string_view name) {
    firstLinkPath.clear();
    if (!diskUsage)
        return e.size;
    const qint64 size = e.blocks * 512;
    if (e.links <= 1 || (e.attr & FileAttr::Unread))
        return size;
    const auto [it, first] = linkedFiles.try_emplace(FileId{e.device, e.inode});
    if (first) {
        if (mode != WalkMode::CountTypes) {
            it->second = path;
            if (it->second.back() != '/')
                it->second.push_back('/');
            it->second.append(name);
        }
        return size;
    }
    firstLinkPath = it->second;
    return 0;
}

void FolderWalkerPrivate::addFileType(std::string_view name, qint64 size) {
    bytesCounted += size;
    const qsizetype dot = extensionOffset(name.data(), qsizetype(name.size()));
    const std::string_view ext = dot < 0 ? std::string_view() : name.substr(size_t(dot));
    auto it = typeSlots.find(ext);
    if (it == typeSlots.end()) {
        // The type key is the extension passed through the narrow code page; with UTF-8 names and
        // lossless decoding that round trip is exact, so the key equals the extension.
        const QString key = platform::decodeFileName(ext.data(), qsizetype(ext.size()));
        const qint32 found = indexList.FindExt(key);
        if (found < 0) {
            const TypeSlot slot{qint32(dataList.size()), true};
            dataList.emplace_back(key, size);
            indexList.Add(key, slot.position);
            typeSlots.emplace(std::string(ext), slot);
            ++run.TotalFiles;
            return;
        }
        // Whether the record counts this spelling depends on the spelling alone: ask it once.
        it = typeSlots.emplace(std::string(ext), TypeSlot{found, dataList[size_t(found)].accepts(key)}).first;
    }
    if (it->second.counts)
        dataList[size_t(it->second.position)].add(size);
    ++run.TotalFiles;
}

void FolderWalkerPrivate::addFoundFile(const platform::DirEntry& e, std::string_view name, qint64 size) {
    // The path stays in native bytes: joined the same way AddBackslash joins texts, it decodes to
    // exactly AddBackslash(folder) + name.
    fileList.append(path, name, e.created, e.modified, size, e.attr);
    bytesCounted += size;
    if (!firstLinkPath.empty())
        fileList.noteHardLink(fileList.size() - 1, firstLinkPath);
    settle();
}

// Lists folder and, when it can be read, puts it on top of the walk's stack; one that cannot be
// read is reported and left. False when the walk must end at once.
bool FolderWalkerPrivate::enterFolder(ReadAhead::Folder* folder) {
    if (!await(folder, -1))
        return false;
    const ReadAhead::View dir = reader->view(folder);
    if (dir.left) {
        reader->leave(folder); // another file system, left by request: no reason to report
        return true;
    }
    if (dir.error != 0) {
        noteUnreadFolder(stack.size(), dir.error); // missing, unreadable or gone: contributes nothing
        reader->leave(folder);
        return true;
    }
    stack.push_back({folder, dir, 0, reader->readyEntries(folder), path.size()});
    return true;
}

// What the walk does with an entry that is no folder it enters. False when the entry is left out
// before it counts, which skips the end-of-entry steps.
bool FolderWalkerPrivate::visitFile(const Level& level, qsizetype i, const platform::DirEntry& e,
                                    std::string_view name) {
    if (e.attr & FileAttr::Unread) {
        if (report.unreadFiles == 0 && report.unreadFolders == 0) {
            std::string file = path;
            if (file.back() != '/')
                file.push_back('/');
            file.append(name);
            report.firstPath = platform::decodeFileName(file.data(), qsizetype(file.size()));
            report.firstError = reader->statError(level.folder, i);
        }
        ++report.unreadFiles;
    }
    quint32 mask = 0;
    if (opts.excludeHidden)
        mask |= FileAttr::Hidden;
    if (opts.excludeSystem)
        mask |= FileAttr::System;
    if (mask != 0 && (e.attr & mask) != 0)
        return false;
    if (opts.attributes.on) {
        if (opts.attributes.readOnly)
            mask |= FileAttr::ReadOnly;
        if (opts.attributes.archive)
            mask |= FileAttr::Archive;
        // Attributes that could not be read pass no attribute requirement.
        if (mask != 0 && ((e.attr & mask) == 0 || (e.attr & FileAttr::Unread)))
            return false;
    }
    switch (mode) {
    case WalkMode::CountTypes:
        addFileType(name, countedSize(e, name));
        break;
    case WalkMode::Criteria:
        if (!passesCriteria(e, name))
            return false;
        addFoundFile(e, name, countedSize(e, name));
        break;
    case WalkMode::ListType:
        if (!isListedType(name))
            return true;
        addFoundFile(e, name, countedSize(e, name));
        break;
    }
    return true;
}

// Depth-first and pre-order, on a stack of its own rather than the thread's, so the depth of a tree
// is bounded by memory alone. The steps and their order are those of one call per folder: an
// entered folder is walked to its end before the entry that entered it is finished.
void FolderWalkerPrivate::walk(ReadAhead::Folder* root) {
    stack.clear();
    if (!enterFolder(root))
        return;
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.dir.count) {
            reader->leave(level.folder);
            stack.pop_back();
            if (stack.empty())
                return;
            path.resize(stack.back().pathLength);
            if (!finishEntry())
                return;
            continue;
        }
        const qsizetype i = level.next;
        if (i >= level.ready) {
            if (!await(level.folder, i))
                return;
            level.ready = reader->readyEntries(level.folder);
        }
        const platform::DirEntry& e = level.dir.entries[i];
        if (e.attr == platform::kEntryVanished) {
            ++level.next; // gone between listing and reading its metadata: never an entry
            continue;
        }
        const std::string_view name = level.dir.name(e);
        if (readAheadSettings.leftOut && readAheadSettings.leftOut(name)) {
            ++level.next; // left out by request: neither an entry nor a folder to enter
            continue;
        }
        maybePump();
        ++run.EntryCount;

        if (e.attr & FileAttr::Directory) {
            // Links to folders count as entries but are never entered: no loops, no escapes.
            if (recurse && ReadAhead::entersFolder(e, name)) {
                if (path.back() != '/')
                    path.push_back('/');
                path.append(name);
                const size_t pathLength = level.pathLength;
                ReadAhead::Folder* child = reader->enter(level.folder, i);
                const size_t depth = stack.size();
                if (!enterFolder(child))
                    return;
                if (stack.size() > depth)
                    continue; // the entry is finished once the folder is walked
                path.resize(pathLength);
            }
        } else if (!visitFile(level, i, e, name)) {
            ++level.next;
            continue;
        }
        if (!finishEntry())
            return;
    }
}

// The last steps of the entry on top of the stack. False when the walk ends.
bool FolderWalkerPrivate::finishEntry() {
    if (run.StopSearch)
        return false; // the walk ends; the reader drops what is left
    settle();
    ++stack.back().next;
    return true;
}
