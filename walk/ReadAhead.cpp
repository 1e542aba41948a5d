#include "walk/ReadAhead.h"

#include "platform/FileAttributes.h"
#include "platform/MountTree.h"
#include "platform/Processors.h"

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using platform::DirEntry;
using Clock = ReadAhead::Clock;

enum class Work : quint8 { Queued, Running, Done };

// Workers run below the window's thread, so a walk never takes the processor from the window.
constexpr int kWorkerNiceness = 5;

// A folder's listing stays on the workers' threads' side of this share of tasks that blocked in
// the kernel: above it the tree is read from the disk and every worker may run, below it the
// listings come from the cache and no more workers run than there are processors.
constexpr double kDiskShare = 0.2;

long voluntarySwitches() {
    struct rusage usage;
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

} // namespace

// Measured on a 2-core machine, 300,000 files: cold, 4 workers took the walk from 4.5 s (1 worker)
// to 3.7 s and 8 to 3.3 s; warm, each worker beyond the processors cost more than it gave (2: 0.94 s,
// 8: 1.78 s). Four keep most of the cold gain at little warm cost.
int ReadAheadSettings::defaultWorkers() {
    return 4;
}

bool ReadAhead::entersFolder(const DirEntry& e, std::string_view name) {
    return (e.attr & FileAttr::Directory) && !(e.attr & FileAttr::ReparsePoint) && name != "." && name != "..";
}

struct ReadAhead::Folder {
    Folder(Folder* p, quint32 i, std::string n)
        : parent(p), index(i), depth(p ? p->depth + 1 : 0), name(std::move(n)) {}

    Folder* const parent;
    const quint32 index; // of its entry in the parent
    const quint32 depth;
    const std::string name; // the root's is its whole path
    // The mounts at and below this folder; null when none is.
    const platform::MountTree::Node* mounts = nullptr;

    // Written by whoever lists the folder and published through `listed`; the metadata of each
    // piece is written by whoever stats it and published through `ready`.
    std::vector<DirEntry> entries;
    std::vector<char> names;
    int error = 0;
    bool left = false; // a file system the walk does not enter
    std::vector<int> chunkErrors;
    std::atomic<bool> listed{false};
    std::atomic<qsizetype> ready{0};

    // Under the lock.
    Work listWork = Work::Queued;
    std::vector<Work> chunks;
    std::vector<qsizetype> chunkDone; // entries completed of an interrupted piece
    qsizetype readyChunks = 0;
    int fd = -1;
    int pins = 0;
    qsizetype needsFd = 0; // pieces still to stat and sub-folders still to open
    std::map<quint32, std::unique_ptr<Folder>> children;
    size_t bytes = 0;
};

namespace {

struct Task {
    ReadAhead::Folder* folder = nullptr;
    qint32 chunk = -1; // -1: list the folder
    bool operator==(const Task&) const = default;
};

// Walk order of two tasks. A folder's place is its parent's place followed by 2 * index + 1, a
// piece's place is its folder's followed by 2 * first entry: a piece comes before the sub-folders
// it holds, which come before the next piece. Shorter places that are a prefix come first.
bool walksBefore(const Task& a, const Task& b, qsizetype chunkEntries) {
    const ReadAhead::Folder* fa = a.folder;
    const ReadAhead::Folder* fb = b.folder;
    qint64 ta = a.chunk < 0 ? -1 : 2 * qint64(a.chunk) * chunkEntries;
    qint64 tb = b.chunk < 0 ? -1 : 2 * qint64(b.chunk) * chunkEntries;
    while (fa->depth > fb->depth) {
        ta = 2 * qint64(fa->index) + 1;
        fa = fa->parent;
    }
    while (fb->depth > fa->depth) {
        tb = 2 * qint64(fb->index) + 1;
        fb = fb->parent;
    }
    while (fa != fb) {
        ta = 2 * qint64(fa->index) + 1;
        fa = fa->parent;
        tb = 2 * qint64(fb->index) + 1;
        fb = fb->parent;
    }
    return ta < tb;
}

} // namespace

class ReadAhead::Shared {
public:
    explicit Shared(const ReadAheadSettings& s)
        : settings(s), chunkEntries(std::max<qsizetype>(1, s.chunkEntries)), workers(std::max(0, s.workers)),
          processors(processorCount()), activeLimit(std::min(workers, processors)),
          maxFds(std::max(s.maxOpenFolders, 2 * workers + 4)) {}

    ~Shared() {
        for (Folder* f : fdHolders)
            ::close(f->fd);
        // A walk ended deep in a tree leaves a chain of folders as deep as the tree: freed one at a
        // time here, since each folder freeing its own children would recurse as deep.
        std::vector<std::unique_ptr<Folder>> left;
        if (root)
            left.push_back(std::move(root));
        while (!left.empty()) {
            std::unique_ptr<Folder> f = std::move(left.back());
            left.pop_back();
            for (auto& [index, child] : f->children)
                left.push_back(std::move(child));
        }
    }

    void workerMain();
    void runInline(Folder* f, qsizetype index);
    bool ready(const Folder* f, qsizetype index) const {
        return f->listed.load(std::memory_order_acquire) &&
               (index < 0 || f->error != 0 || index < f->ready.load(std::memory_order_acquire));
    }
    // What the walk waits for: the listing while there is none, and always for index < 0 (a
    // folder that could not be listed has no pieces). Under the lock, after ready() said no.
    Task neededTask(const Folder* f, qsizetype index) const {
        if (index < 0 || !f->listed.load(std::memory_order_acquire))
            return {const_cast<Folder*>(f), -1};
        Q_ASSERT(f->error == 0 && index / chunkEntries < qsizetype(f->chunks.size()));
        return {const_cast<Folder*>(f), qint32(index / chunkEntries)};
    }

    // Under the lock.
    bool takeTask(Task& task);
    void push(Task task);
    bool list(Folder* f, std::unique_lock<std::mutex>& lock, std::vector<char>& buffer);
    bool stat(Folder* f, qint32 chunk, std::unique_lock<std::mutex>& lock);
    void publishChunk(Folder* f, qint32 chunk);
    void addChildren(Folder* f, qsizetype begin, qsizetype end);
    Folder* addChild(Folder* f, quint32 index, std::string_view name);
    bool mountLeft(const Folder* f) const;
    bool deviceLeft(int fd) const;
    int leaseFd(Folder* f, std::unique_lock<std::mutex>& lock);
    void releaseFd(Folder* f);
    void installFd(Folder* f, int fd);
    void closeFd(Folder* f);
    void makeRoomForFd();
    void addBytes(Folder* f);
    void dropBytes(Folder* f);
    void cancel();

    const ReadAheadSettings settings;
    const qsizetype chunkEntries;
    int workers; // set before the workers start
    const int processors;
    bool recurse = true;

    std::mutex mutex;
    std::condition_variable workCv;
    std::condition_variable walkCv;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stopping{false};
    std::atomic<Folder*> demandFolder{nullptr};
    Task demand;

    std::unique_ptr<Folder> root;
    std::vector<Task> listHeap;
    std::vector<Task> statHeap;
    int running = 0;
    int activeLimit;
    double blockedShare = 0;
    const int maxFds;
    int openFds = 0;
    std::vector<Folder*> fdHolders;
    std::unique_ptr<platform::MountTree> mountTree;
    quint64 rootDevice = 0;
    std::atomic<size_t> bytes{0};
    size_t peak = 0;
    std::vector<char> inlineBuffer;
};

void ReadAhead::Shared::push(Task task) {
    if (workers == 0 || cancelled.load(std::memory_order_relaxed))
        return; // without workers the walk's own thread does each task when it needs it
    std::vector<Task>& heap = task.chunk < 0 ? listHeap : statHeap;
    heap.push_back(task);
    // A max-heap on "walks later" keeps the task the walk needs first on top.
    std::push_heap(heap.begin(), heap.end(),
                   [this](const Task& a, const Task& b) { return walksBefore(b, a, chunkEntries); });
    // Workers at the limit take it when they finish; waking one that may not run would only have
    // it take the lock and sleep again, for every folder of the tree.
    if (running < activeLimit)
        workCv.notify_one();
}

bool ReadAhead::Shared::takeTask(Task& task) {
    const auto later = [this](const Task& a, const Task& b) { return walksBefore(b, a, chunkEntries); };
    const bool stop = stopping.load(std::memory_order_relaxed);
    const Task* best = nullptr;
    if (!statHeap.empty() && (!stop || statHeap.front() == demand))
        best = &statHeap.front();
    if (!listHeap.empty()) {
        const Task& top = listHeap.front();
        const bool demanded = top == demand;
        const bool allowed = demanded || (!stop && bytes.load(std::memory_order_relaxed) < settings.budgetBytes);
        if (allowed && (!best || walksBefore(top, *best, chunkEntries)))
            best = &top;
    }
    if (!best)
        return false;
    // Only as many run as there are processors while listings come from the cache; what the walk
    // waits for always runs.
    if (running >= activeLimit && !(*best == demand))
        return false;
    std::vector<Task>& heap = best->chunk < 0 ? listHeap : statHeap;
    task = *best;
    std::pop_heap(heap.begin(), heap.end(), later);
    heap.pop_back();
    return true;
}

void ReadAhead::Shared::addBytes(Folder* f) {
    f->bytes = sizeof(Folder) + f->entries.capacity() * sizeof(DirEntry) + f->names.capacity() +
               f->chunks.capacity() * (sizeof(Work) + sizeof(qsizetype) + sizeof(int));
    const size_t now = bytes.fetch_add(f->bytes, std::memory_order_relaxed) + f->bytes;
    peak = std::max(peak, now);
}

void ReadAhead::Shared::dropBytes(Folder* f) {
    bytes.fetch_sub(f->bytes, std::memory_order_relaxed);
    f->bytes = 0;
}

// Closing a folder's descriptor never waits on the disk (nothing to write back), so it is done
// under the lock: a finished walk has no descriptor left open, not even for a moment.
void ReadAhead::Shared::closeFd(Folder* f) {
    Q_ASSERT(f->fd >= 0 && f->pins == 0);
    ::close(f->fd);
    f->fd = -1;
    --openFds;
    fdHolders.erase(std::find(fdHolders.begin(), fdHolders.end(), f));
}

void ReadAhead::Shared::makeRoomForFd() {
    // The descriptor needed last goes first; it is reopened from its nearest held ancestor.
    while (openFds >= maxFds) {
        Folder* victim = nullptr;
        for (Folder* f : fdHolders)
            if (f->pins == 0 && (!victim || walksBefore({victim, -1}, {f, -1}, chunkEntries)))
                victim = f;
        if (!victim)
            return; // every descriptor is in use: go beyond the budget by the few in flight
        closeFd(victim);
    }
}

void ReadAhead::Shared::installFd(Folder* f, int fd) {
    if (f->fd >= 0 || cancelled.load(std::memory_order_relaxed)) {
        ::close(fd);
        return;
    }
    makeRoomForFd();
    f->fd = fd;
    ++openFds;
    fdHolders.push_back(f);
}

// Pins the folder's descriptor, reopening it from its nearest held ancestor (or the root's path)
// level by level when it was closed. Returns -1 with errno set when it cannot be reached.
int ReadAhead::Shared::leaseFd(Folder* f, std::unique_lock<std::mutex>& lock) {
    while (f->fd < 0) {
        if (cancelled.load(std::memory_order_relaxed)) {
            errno = ECANCELED;
            return -1;
        }
        std::vector<const Folder*> chain;
        Folder* base = f;
        while (base && base->fd < 0) {
            chain.push_back(base);
            base = base->parent;
        }
        if (base)
            ++base->pins;
        lock.unlock();
        int fd = base ? base->fd : -1;
        bool own = false;
        int error = 0;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const Folder* level = *it;
            const int next = level->parent ? platform::openFolderAt(fd, level->name.c_str())
                                           : platform::openFolder(level->name.c_str());
            error = errno;
            if (own)
                ::close(fd);
            fd = next;
            own = true;
            if (fd < 0)
                break;
        }
        lock.lock();
        if (base)
            releaseFd(base);
        if (fd < 0) {
            errno = error;
            return -1;
        }
        installFd(f, fd); // keeps the one another worker installed meanwhile
    }
    ++f->pins;
    return f->fd;
}

void ReadAhead::Shared::releaseFd(Folder* f) {
    --f->pins;
    if (f->pins == 0 && f->fd >= 0 && (f->needsFd == 0 || cancelled.load(std::memory_order_relaxed)))
        closeFd(f);
}

void ReadAhead::Shared::addChildren(Folder* f, qsizetype begin, qsizetype end) {
    if (!recurse)
        return;
    for (qsizetype j = begin; j < end; ++j) {
        const DirEntry& e = f->entries[size_t(j)];
        const std::string_view name(f->names.data() + e.nameOffset, e.nameLen);
        if (!entersFolder(e, name) || (settings.leftOut && settings.leftOut(name)))
            continue;
        push({addChild(f, quint32(j), name), -1});
    }
}

ReadAhead::Folder* ReadAhead::Shared::addChild(Folder* f, quint32 index, std::string_view name) {
    auto child = std::make_unique<Folder>(f, index, std::string(name));
    Folder* c = child.get();
    c->mounts = platform::MountTree::child(f->mounts, name);
    f->children.emplace(index, std::move(child));
    ++f->needsFd;
    return c;
}

// Whether the mount table says f is a file system the walk leaves; known before f is opened.
bool ReadAhead::Shared::mountLeft(const Folder* f) const {
    if (!f->parent || !f->mounts || !f->mounts->mounted)
        return false;
    switch (settings.mounts) {
    case ReadAheadSettings::Mounts::All:
        return false;
    case ReadAheadSettings::Mounts::SameDevice:
        return f->mounts->device != rootDevice;
    case ReadAheadSettings::Mounts::NoKernel:
        return platform::isKernelFileSystem(f->mounts->type);
    }
    return false;
}

// Whether an opened folder lies on another device than the root under -x: a mount the table did
// not name when the walk began, or a file system that gives its sub-volumes devices of their own.
bool ReadAhead::Shared::deviceLeft(int fd) const {
    struct stat st;
    return settings.mounts == ReadAheadSettings::Mounts::SameDevice && ::fstat(fd, &st) == 0 &&
           quint64(st.st_dev) != rootDevice;
}

void ReadAhead::Shared::publishChunk(Folder* f, qint32 chunk) {
    f->chunks[size_t(chunk)] = Work::Done;
    --f->needsFd;
    const qsizetype count = qsizetype(f->entries.size());
    addChildren(f, qsizetype(chunk) * chunkEntries, std::min(count, qsizetype(chunk + 1) * chunkEntries));
    while (f->readyChunks < qsizetype(f->chunks.size()) && f->chunks[size_t(f->readyChunks)] == Work::Done)
        ++f->readyChunks;
    f->ready.store(std::min(count, f->readyChunks * chunkEntries), std::memory_order_release);
}

// Lists f: opens it relative to its parent's descriptor, reads and orders its names, stats its
// first piece and queues the others. Called and returns with the lock held. True when it slept in
// the kernel (read from the disk).
bool ReadAhead::Shared::list(Folder* f, std::unique_lock<std::mutex>& lock, std::vector<char>& buffer) {
    f->listWork = Work::Running;
    int parentFd = -1;
    bool left = mountLeft(f);
    if (f->parent && !left) {
        parentFd = leaseFd(f->parent, lock);
        if (parentFd < 0)
            f->error = errno;
    }
    lock.unlock();
    const long switches = voluntarySwitches();

    int fd = -1;
    if (f->error == 0 && !left) {
        if (settings.beforeRead)
            settings.beforeRead(f->name, -1);
        fd = f->parent ? platform::openFolderAt(parentFd, f->name.c_str()) : platform::openFolder(f->name.c_str());
        if (fd < 0)
            f->error = errno;
        if (fd >= 0 && f->parent && deviceLeft(fd)) {
            ::close(fd);
            fd = -1;
            left = true;
        }
    }
    f->left = left;
    if (fd >= 0) {
        if (!platform::readFolderNames(fd, f->entries, f->names, buffer))
            f->error = errno;
    }
    qsizetype firstPiece = 0;
    int firstError = 0;
    if (fd >= 0 && f->error == 0) {
        const qsizetype chunks = (qsizetype(f->entries.size()) + chunkEntries - 1) / chunkEntries;
        f->chunks.assign(size_t(chunks), Work::Queued);
        f->chunkDone.assign(size_t(chunks), 0);
        f->chunkErrors.assign(size_t(chunks), 0);
        if (chunks > 0) {
            firstPiece = std::min(chunkEntries, qsizetype(f->entries.size()));
            if (settings.beforeRead)
                settings.beforeRead(f->name, 0);
            platform::statEntries(fd, f->entries.data(), firstPiece, f->names.data(), firstError);
        }
    } else {
        f->entries = {};
        f->names = {};
    }
    const bool blocked = voluntarySwitches() > switches;

    lock.lock();
    if (f->parent) {
        if (parentFd >= 0)
            releaseFd(f->parent);
        --f->parent->needsFd;
        if (f->parent->pins == 0 && f->parent->needsFd == 0 && f->parent->fd >= 0)
            closeFd(f->parent);
    }
    f->listWork = Work::Done;
    addBytes(f);
    if (fd >= 0)
        installFd(f, fd);
    const qsizetype chunks = qsizetype(f->chunks.size());
    f->needsFd += chunks;
    if (chunks > 0) {
        f->chunkErrors[0] = firstError;
        publishChunk(f, 0);
        for (qint32 c = 1; c < chunks; ++c)
            push({f, c});
    }
    if (f->fd >= 0 && f->pins == 0 && f->needsFd == 0)
        closeFd(f);
    f->listed.store(true, std::memory_order_release);
    return blocked;
}

// Stats one piece of f. Called and returns with the lock held. While stopping, a piece the walk
// does not wait for is put back where it stopped. True when it slept in the kernel.
bool ReadAhead::Shared::stat(Folder* f, qint32 chunk, std::unique_lock<std::mutex>& lock) {
    f->chunks[size_t(chunk)] = Work::Running;
    const int fd = leaseFd(f, lock);
    const int openError = fd < 0 ? errno : 0;
    const qsizetype begin = qsizetype(chunk) * chunkEntries + f->chunkDone[size_t(chunk)];
    const qsizetype end = std::min(qsizetype(f->entries.size()), qsizetype(chunk + 1) * chunkEntries);
    int firstError = f->chunkErrors[size_t(chunk)];
    lock.unlock();
    const long switches = voluntarySwitches();

    qsizetype done = end - begin;
    if (fd >= 0 && settings.beforeRead)
        settings.beforeRead(f->name, chunk);
    if (fd >= 0) {
        const auto stop = [this, f] {
            return cancelled.load(std::memory_order_relaxed) ||
                   (workers > 0 && stopping.load(std::memory_order_relaxed) &&
                    demandFolder.load(std::memory_order_relaxed) != f);
        };
        done = platform::statEntries(fd, f->entries.data() + begin, end - begin, f->names.data(), firstError, stop);
    } else {
        // The folder cannot be reached again (renamed or removed since it was listed): its entries
        // are gone from here, or unreadable for the reason the system gives.
        for (qsizetype i = begin; i < end; ++i) {
            DirEntry& e = f->entries[size_t(i)];
            if (e.attr & FileAttr::Directory)
                continue;
            if (openError == ENOENT) {
                e.attr = platform::kEntryVanished;
            } else {
                e.attr = (e.attr & (FileAttr::Hidden | FileAttr::Archive | FileAttr::ReparsePoint | FileAttr::System)) |
                         FileAttr::Unread;
                if (firstError == 0)
                    firstError = openError;
            }
        }
    }

    const bool blocked = voluntarySwitches() > switches;

    lock.lock();
    if (fd >= 0)
        releaseFd(f);
    f->chunkErrors[size_t(chunk)] = firstError;
    if (begin + done < end) {
        f->chunkDone[size_t(chunk)] += done;
        f->chunks[size_t(chunk)] = Work::Queued;
        push({f, chunk});
        return blocked;
    }
    publishChunk(f, chunk);
    if (f->fd >= 0 && f->pins == 0 && f->needsFd == 0)
        closeFd(f);
    return blocked;
}

void ReadAhead::Shared::workerMain() {
    ::setpriority(PRIO_PROCESS, ::gettid(), std::min(19, ::getpriority(PRIO_PROCESS, ::gettid()) + kWorkerNiceness));
    if (settings.onWorkerStart)
        settings.onWorkerStart();
    std::vector<char> buffer;
    std::unique_lock lock(mutex);
    for (;;) {
        Task task;
        workCv.wait(lock, [&] { return cancelled.load(std::memory_order_relaxed) || takeTask(task); });
        if (cancelled.load(std::memory_order_relaxed))
            break;
        ++running;
        const bool blocked = task.chunk < 0 ? list(task.folder, lock, buffer) : stat(task.folder, task.chunk, lock);
        // Tasks that sleep in the kernel read from the disk: then more workers help.
        blockedShare += ((blocked ? 1.0 : 0.0) - blockedShare) / 8;
        const int limit = activeLimit;
        activeLimit = blockedShare > kDiskShare ? workers : std::min(workers, processors);
        --running;
        // The walk is woken only for what it waits for; this worker goes on with the next task
        // itself, and others are woken only when more may run than before.
        if (task.folder == demand.folder)
            walkCv.notify_one();
        if (activeLimit > limit)
            workCv.notify_all();
    }
}

void ReadAhead::Shared::runInline(Folder* f, qsizetype index) {
    std::unique_lock lock(mutex);
    if (!f->listed.load(std::memory_order_relaxed))
        list(f, lock, inlineBuffer);
    if (index >= 0 && f->error == 0) {
        while (index >= f->ready.load(std::memory_order_relaxed))
            stat(f, qint32(f->readyChunks), lock);
    }
}

void ReadAhead::Shared::cancel() {
    {
        std::lock_guard lock(mutex);
        cancelled.store(true, std::memory_order_relaxed);
        listHeap.clear();
        statHeap.clear();
        // Descriptors in use by a worker are closed when it returns.
        for (Folder* f : std::vector<Folder*>(fdHolders))
            if (f->pins == 0)
                closeFd(f);
    }
    workCv.notify_all();
}

ReadAhead::ReadAhead(const ReadAheadSettings& settings) : m_shared(std::make_shared<Shared>(settings)) {}

ReadAhead::~ReadAhead() {
    m_shared->cancel();
    // Workers hold the shared state too: one blocked in the kernel frees it when it returns.
}

ReadAhead::Folder* ReadAhead::start(std::string root, bool recurse) {
    Shared& s = *m_shared;
    Q_ASSERT(!s.root);
    s.recurse = recurse;
    s.root = std::make_unique<Folder>(nullptr, 0, std::move(root));
    if (recurse && s.settings.mounts != ReadAheadSettings::Mounts::All) {
        // The mount table names mount points by their paths without links.
        struct stat st;
        if (char* real = ::realpath(s.root->name.c_str(), nullptr); real && ::stat(real, &st) == 0) {
            s.rootDevice = quint64(st.st_dev);
            s.mountTree = std::make_unique<platform::MountTree>(
                real, s.settings.mountInfo.empty() ? platform::readMountInfo() : s.settings.mountInfo);
            s.root->mounts = s.mountTree->top();
            std::free(real);
        } else {
            std::free(real);
        }
    }
    // Started here, the workers take this thread's rights and priority; then they lower theirs.
    int started = 0;
    for (int i = 0; i < s.workers; ++i) {
        try {
            std::thread([shared = m_shared] { shared->workerMain(); }).detach();
            ++started;
        } catch (const std::system_error&) {
            break;
        }
    }
    std::lock_guard lock(s.mutex);
    if (started == 0)
        s.workers = 0; // no thread to be had: read on this one
    s.push({s.root.get(), -1});
    return s.root.get();
}

ReadAhead::Folder* ReadAhead::enter(Folder* parent, qsizetype index) {
    Shared& s = *m_shared;
    std::lock_guard lock(s.mutex);
    auto it = parent->children.find(quint32(index));
    if (it != parent->children.end())
        return it->second.get();
    // Not foreseen (the walk only enters what the listing names as a folder): read it now.
    const DirEntry& e = parent->entries[size_t(index)];
    Folder* c = s.addChild(parent, quint32(index), std::string_view(parent->names.data() + e.nameOffset, e.nameLen));
    s.push({c, -1});
    return c;
}

void ReadAhead::leave(Folder* folder) {
    Shared& s = *m_shared;
    bool roomAgain = false;
    {
        std::lock_guard lock(s.mutex);
        const bool finished =
            folder->listWork == Work::Done && folder->children.empty() &&
            std::all_of(folder->chunks.begin(), folder->chunks.end(), [](Work w) { return w == Work::Done; });
        Q_ASSERT(finished);
        if (!finished)
            return; // freed with the rest when the walk ends
        const bool full = s.bytes.load(std::memory_order_relaxed) >= s.settings.budgetBytes;
        s.dropBytes(folder);
        roomAgain = full && s.bytes.load(std::memory_order_relaxed) < s.settings.budgetBytes;
        if (folder->fd >= 0 && folder->pins == 0)
            s.closeFd(folder);
        if (folder->parent && folder->pins == 0)
            folder->parent->children.erase(folder->index);
    }
    // Only a full budget kept a worker waiting; waking one at every folder would have it take the
    // processor from the walk and sleep again.
    if (roomAgain)
        s.workCv.notify_one();
}

bool ReadAhead::isListed(const Folder* folder) const {
    return folder->listed.load(std::memory_order_acquire);
}

ReadAhead::View ReadAhead::view(const Folder* folder) const {
    Q_ASSERT(isListed(folder));
    return {folder->entries.data(), folder->names.data(), qsizetype(folder->entries.size()), folder->error,
            folder->left};
}

qsizetype ReadAhead::readyEntries(const Folder* folder) const {
    return folder->ready.load(std::memory_order_acquire);
}

int ReadAhead::statError(const Folder* folder, qsizetype index) const {
    return folder->chunkErrors[size_t(index / m_shared->chunkEntries)];
}

bool ReadAhead::wait(Folder* folder, qsizetype index, Clock::time_point deadline, Clock::duration gather) {
    Shared& s = *m_shared;
    if (s.ready(folder, index))
        return true;
    if (s.workers == 0) {
        s.runInline(folder, index);
        return true;
    }
    if (s.settings.afterReadyTest)
        s.settings.afterReadyTest();
    std::unique_lock lock(s.mutex);
    // A worker may have finished between the test above and the lock: then the folder may have no
    // pieces at all, and nothing is left to ask for.
    if (s.ready(folder, index))
        return true;
    const Task needed = s.neededTask(folder, index);
    if (!(s.demand == needed)) {
        s.demand = needed;
        s.demandFolder.store(folder, std::memory_order_relaxed);
        // One idle worker takes it, beyond the limit if need be; waking them all would have every
        // one of them fight for the lock each time the walk waits.
        const Work state = needed.chunk < 0 ? folder->listWork : folder->chunks[size_t(needed.chunk)];
        if (state == Work::Queued)
            s.workCv.notify_one();
    }
    if (gather > Clock::duration::zero() && !s.stopping.load(std::memory_order_relaxed)) {
        // The walk takes a listing in far less time than a worker makes one; woken for each, it
        // would spend more on waking than on walking, and take the processor from the workers.
        lock.unlock();
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + gather));
        lock.lock();
    }
    return s.walkCv.wait_until(lock, deadline, [&] { return s.ready(folder, index); });
}

void ReadAhead::setStopping(bool stopping) {
    Shared& s = *m_shared;
    {
        std::lock_guard lock(s.mutex);
        s.stopping.store(stopping, std::memory_order_relaxed);
    }
    if (!stopping)
        s.workCv.notify_all();
}

size_t ReadAhead::peakBytes() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->peak;
}
