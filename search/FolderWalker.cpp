#include "search/FolderWalker.h"

#include "platform/DirEnum.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "search/Criteria.h"
#include "search/FileHelpers.h"
#include "search/MaskMatcher.h"
#include "search/PumpClock.h"
#include "search/TDataIndexList.h"
#include "search/TSearchRecW.h"

#include <cerrno>

#include <string>
#include <string_view>
#include <unordered_map>

namespace {

enum class WalkMode { CountTypes, Criteria, ListType };

struct StringViewHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// Per-extension answers that depend only on the extension's bytes, so each distinct extension is
// decoded and compared once per walk instead of once per file.
template <class Value> using ExtCache = std::unordered_map<std::string, Value, StringViewHash, std::equal_to<>>;

struct TypeSlot {
    qint32 position; // in DataList
    bool counts;     // the type's record accepts this spelling
};

} // namespace

class FolderWalkerPrivate {
public:
    FolderWalkerPrivate(ScanHost& h, RunState& r, TDataList& dl, TDataIndexList& il, TFileList& fl)
        : host(h), run(r), dataList(dl), indexList(il), fileList(fl) {}

    void scan(size_t depth);
    void maybePump();
    void takeOptions();
    void flushLabels();
    void setFileCount() {
        shownEntries = run.EntryCount;
        shownFiles = qint64(fileList.size());
        fileCountDirty = true;
    }
    bool passesCriteria(const platform::DirEnum& dir, const platform::DirEntry& e, std::string_view name);
    bool extensionMatches(ExtCache<bool>& cache, const MaskMatcher& mask, std::string_view name);
    bool isListedType(std::string_view name);
    void noteUnreadFolder(size_t depth, int error);
    void addFileType(const platform::DirEntry& e, std::string_view name);
    void addFoundFile(const platform::DirEntry& e, std::string_view name);

    ScanHost& host;
    RunState& run;
    TDataList& dataList;
    TDataIndexList& indexList;
    TFileList& fileList;

    PumpClock pumpClock;

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
    std::vector<std::unique_ptr<platform::DirEnum>> levels;

    // The progress text as the walk last set it; flushed to the label at the next pump.
    bool fileCountDirty = false;
    qint64 shownEntries = 0;
    qint64 shownFiles = 0;
    bool totalDirty = false;

    ScanReport report;
};

FolderWalker::FolderWalker(ScanHost& host, RunState& run, TDataList& dataList, TDataIndexList& indexList,
                           TFileList& fileList)
    : d(std::make_unique<FolderWalkerPrivate>(host, run, dataList, indexList, fileList)) {}

FolderWalker::~FolderWalker() = default;

void FolderWalker::setPumpInterval(std::chrono::nanoseconds interval) {
    d->pumpClock = PumpClock(interval);
}

void FolderWalker::ScanFolder(const QString& folder, bool recurse, const QString& mode) {
    Q_ASSERT(!folder.isEmpty());
    if (mode == QLatin1String("+")) {
        d->mode = WalkMode::CountTypes;
    } else if (mode == QLatin1String("x")) {
        d->mode = WalkMode::Criteria;
    } else {
        d->mode = WalkMode::ListType;
        d->listedType = mode;
    }
    d->recurse = recurse;
    d->report = {};
    d->typeMaskCache.clear();
    d->listedTypeCache.clear();
    d->typeSlots.clear();
    d->takeOptions();
    d->path = platform::encodeFileName(folder).toStdString();
    d->pumpClock.pumped();
    d->fileCountDirty = false;
    d->totalDirty = false;

    struct FlushOnExit {
        FolderWalkerPrivate* p;
        ~FlushOnExit() {
            try {
                p->flushLabels();
            } catch (...) {
            }
        }
    } flush{d.get()};
    d->scan(0);
}

const ScanReport& FolderWalker::report() const {
    return d->report;
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

void FolderWalkerPrivate::flushLabels() {
    if (fileCountDirty) {
        host.showFileCount(QStringLiteral("%1/%2").arg(shownEntries).arg(shownFiles));
        fileCountDirty = false;
    }
    if (totalDirty) {
        host.showTotalFiles(run.TotalFiles);
        totalDirty = false;
    }
}

void FolderWalkerPrivate::maybePump() {
    if (!pumpClock.due())
        return;
    // Labels are refreshed at each pump rather than per entry; a person cannot tell the difference.
    flushLabels();
    host.pump();
    takeOptions();
    pumpClock.pumped();
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

bool FolderWalkerPrivate::passesCriteria(const platform::DirEnum&, const platform::DirEntry& e, std::string_view name) {
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

void FolderWalkerPrivate::addFileType(const platform::DirEntry& e, std::string_view name) {
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
            dataList.emplace_back(key, e.size);
            indexList.Add(key, slot.position);
            typeSlots.emplace(std::string(ext), slot);
            ++run.TotalFiles;
            totalDirty = true;
            return;
        }
        // Whether the record counts this spelling depends on the spelling alone: ask it once.
        it = typeSlots.emplace(std::string(ext), TypeSlot{found, dataList[size_t(found)].accepts(key)}).first;
    }
    if (it->second.counts)
        dataList[size_t(it->second.position)].add(e.size);
    ++run.TotalFiles;
    totalDirty = true;
}

void FolderWalkerPrivate::addFoundFile(const platform::DirEntry& e, std::string_view name) {
    // The path stays in native bytes: joined the same way AddBackslash joins texts, it decodes to
    // exactly AddBackslash(folder) + name.
    fileList.append(path, name, e.created, e.modified, e.size, e.attr);
    setFileCount();
}

void FolderWalkerPrivate::scan(size_t depth) {
    if (levels.size() <= depth)
        levels.push_back(std::make_unique<platform::DirEnum>());
    platform::DirEnum& dir = *levels[depth];
    if (!dir.open(path.c_str(), depth == 0)) {
        noteUnreadFolder(depth, errno); // missing, unreadable or too long: contributes nothing
        return;
    }

    const size_t pathLength = path.size();
    for (qsizetype i = 0; i < dir.count(); ++i) {
        maybePump();
        ++run.EntryCount;
        const platform::DirEntry& e = dir.entry(i);
        const std::string_view name = dir.name(e);

        if (e.attr & FileAttr::Directory) {
            const bool dots = name == "." || name == "..";
            // Links to folders count as entries but are never entered: no loops, no escapes.
            if (recurse && !dots && !(e.attr & FileAttr::ReparsePoint)) {
                if (path.back() != '/')
                    path.push_back('/');
                path.append(name);
                scan(depth + 1);
                path.resize(pathLength);
            }
        } else {
            if (e.attr & FileAttr::Unread) {
                if (report.unreadFiles == 0 && report.unreadFolders == 0) {
                    std::string file = path;
                    if (file.back() != '/')
                        file.push_back('/');
                    file.append(name);
                    report.firstPath = platform::decodeFileName(file.data(), qsizetype(file.size()));
                    report.firstError = dir.statError();
                }
                ++report.unreadFiles;
            }
            quint32 mask = 0;
            if (opts.excludeHidden)
                mask |= FileAttr::Hidden;
            if (opts.excludeSystem)
                mask |= FileAttr::System;
            if (mask != 0 && (e.attr & mask) != 0)
                continue;
            if (opts.attributes.on) {
                if (opts.attributes.readOnly)
                    mask |= FileAttr::ReadOnly;
                if (opts.attributes.archive)
                    mask |= FileAttr::Archive;
                // Attributes that could not be read pass no attribute requirement.
                if (mask != 0 && ((e.attr & mask) == 0 || (e.attr & FileAttr::Unread)))
                    continue;
            }
            switch (mode) {
            case WalkMode::CountTypes:
                addFileType(e, name);
                break;
            case WalkMode::Criteria:
                if (!passesCriteria(dir, e, name))
                    continue;
                addFoundFile(e, name);
                break;
            case WalkMode::ListType:
                if (isListedType(name))
                    addFoundFile(e, name);
                break;
            }
        }
        if (run.StopSearch)
            break;
        setFileCount();
    }
}
