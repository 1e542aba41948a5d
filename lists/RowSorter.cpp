#include "lists/RowSorter.h"

#include "records/ScratchArray.h"

#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "platform/Processors.h"

#include <QCollator>
#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <exception>
#include <memory>
#include <numeric>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

struct SortEntry {
    quint64 key;
    quint32 row;
};

// A key's bits, ordered as the keys are: ascending keys give ascending bits, and descending keys
// the bits reversed, so one ascending stable sort serves both directions.
quint64 orderedBits(double key, bool ascending) {
    const quint64 bits = std::bit_cast<quint64>(key == 0.0 ? 0.0 : key); // -0 sorts as 0
    const quint64 ordered = (bits >> 63) ? ~bits : bits | (quint64(1) << 63);
    return ascending ? ordered : ~ordered;
}

// Least significant digit first, 11 bits at a time: stable, and linear in the entries. Digits
// that all entries share need no pass. The result is in entries.
void radixSort(ScratchArray<SortEntry>& entries) {
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t(1) << kBits;
    const size_t n = entries.size();
    // One pass counts every digit of every key.
    std::vector<size_t> counts(kBuckets * 6, 0);
    for (size_t i = 0; i < n; ++i) {
        const quint64 key = entries[i].key;
        for (int d = 0; d < 6; ++d)
            ++counts[size_t(d) * kBuckets + ((key >> (d * kBits)) & (kBuckets - 1))];
    }
    ScratchArray<SortEntry> buffer(n);
    SortEntry* from = entries.data();
    SortEntry* to = buffer.data();
    for (int d = 0; d < 6; ++d) {
        size_t* count = counts.data() + size_t(d) * kBuckets;
        const int shift = d * kBits;
        if (count[(from[0].key >> shift) & (kBuckets - 1)] == n)
            continue;
        size_t at = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            const size_t here = count[b];
            count[b] = at;
            at += here;
        }
        for (size_t i = 0; i < n; ++i)
            to[count[(from[i].key >> shift) & (kBuckets - 1)]++] = from[i];
        std::swap(from, to);
    }
    if (from != entries.data())
        std::copy(from, from + n, entries.data());
}

// Texts ranked by one processor at least: fewer are ranked at once, as a thread would cost more
// than it saves.
constexpr size_t kTextsPerPart = 8192;

// How long a slice of taking sort keys holds the thread before pending events run.
constexpr auto kKeySlice = std::chrono::milliseconds(8);

// Posted by a worker when its order is made. The event carries nothing: the worker hands its
// results over by ending, and the thread that applies them joins it first.
QEvent::Type workerDoneEvent() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

struct Cancelled {};

} // namespace

// One sort of the rows in sight: the keys taken on the sorter's thread, then ordered on a worker.
struct RowSorter::Job {
    Job(const ReportModel& model, int c, bool up, bool text)
        : generation(model.generation()), column(c), ascending(up), byText(text),
          byCaption(slotOf(model.columns()[c], c) == ValueSlot::Caption),
          order(model.order().begin(), model.order().end()), stored(model.storedCount()),
          keys(text ? 0 : size_t(stored)), groups(text && !byCaption ? size_t(stored) : 0),
          captions(text && byCaption ? size_t(stored) : 0), arena(model.arena()) {}

    // Orders the rows by their keys into newOrder; on the worker, or here for a small list.
    void compute();
    // The rank of each text, equal texts equal, in the collation's case-blind order.
    std::vector<quint32> rankTexts(size_t count, const std::function<QString(size_t)>& textOf);
    void checkCancelled() const {
        if (cancelled.load(std::memory_order_relaxed))
            throw Cancelled{};
    }

    const quint64 generation;
    const int column;
    const bool ascending;
    const bool byText;
    const bool byCaption;             // the column of the rows' captions, ordered by their bytes decoded
    const std::vector<quint32> order; // the stored row of each row in sight
    const int stored;
    int next = 0;                                // the next stored row whose key is to be taken
    ScratchArray<double> keys;                   // the owner's key of each stored row
    ScratchArray<quint32> groups;                // of a text column: the index of each stored row's text
    QStringList texts;                           // the distinct texts of the column
    std::unordered_map<qint64, quint32> groupOf; // by the cell as held
    qint64 emptyGroup = -1;                      // the group of cells whose values could not be read
    ScratchArray<std::string_view> captions;     // of the caption column, by stored row
    std::shared_ptr<const PathArena> arena;      // keeps the captions' bytes where they are

    std::vector<quint32> newOrder; // the stored row of each row in sight, sorted
    std::vector<int> newRowOf;     // the new row of each row in sight
    std::exception_ptr error;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false}; // the worker has made its order (or failed)
    std::thread worker;
};

void RowSorter::Job::compute() {
    try {
        const size_t n = order.size();
        ScratchArray<SortEntry> entries(n);
        if (!byText) {
            for (size_t r = 0; r < n; ++r)
                entries[r] = {orderedBits(keys[order[r]], ascending), quint32(r)};
        } else {
            // Ranks, equal for equal texts; descending reverses them, so equal texts keep their order.
            const auto key = [this](quint32 rank) { return ascending ? quint64(rank) : ~quint64(rank); };
            if (byCaption) {
                // The captions are read in storage order, which reads the arena in sequence; after a
                // sort the rows in sight would read it at random, a cache miss a row.
                std::vector<bool> inSight(size_t(stored), false);
                for (const quint32 s : order)
                    inSight[s] = true;
                std::vector<quint32> rows;
                rows.reserve(n);
                for (quint32 s = 0; s < quint32(stored); ++s) {
                    if (inSight[s])
                        rows.push_back(s);
                }
                const std::vector<quint32> rank = rankTexts(n, [this, &rows](size_t i) {
                    const std::string_view bytes = captions[rows[i]];
                    return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
                });
                ScratchArray<quint32> rankOf{size_t(stored)};
                for (size_t i = 0; i < n; ++i)
                    rankOf[rows[i]] = rank[i];
                for (size_t r = 0; r < n; ++r)
                    entries[r] = {key(rankOf[order[r]]), quint32(r)};
            } else {
                const std::vector<quint32> rank =
                    rankTexts(size_t(texts.size()), [this](size_t i) { return texts[qsizetype(i)]; });
                for (size_t r = 0; r < n; ++r)
                    entries[r] = {key(rank[groups[order[r]]]), quint32(r)};
            }
        }
        checkCancelled();
        radixSort(entries);
        // The model's new order and the inverse its persistent rows need, made here so that the
        // sorter's thread only swaps them in.
        newOrder.resize(n);
        newRowOf.resize(n);
        for (size_t r = 0; r < n; ++r) {
            newOrder[r] = order[entries[r].row];
            newRowOf[entries[r].row] = int(r);
        }
    } catch (const Cancelled&) {
        newOrder.clear();
    } catch (...) {
        error = std::current_exception();
    }
}

std::vector<quint32> RowSorter::Job::rankTexts(size_t count, const std::function<QString(size_t)>& textOf) {
    // A collation key takes microseconds a text: a long list makes and sorts its keys in parts, one
    // per processor, and merges the parts. Each part has its own collator.
    const size_t parts = std::clamp<size_t>(count / kTextsPerPart, 1, size_t(processorCount()));
    std::vector<std::optional<QCollatorSortKey>> keys(count);
    std::vector<quint32> byKey(count);
    std::iota(byKey.begin(), byKey.end(), 0u);
    const auto partBegin = [count, parts](size_t p) { return count * p / parts; };
    // Equal texts keep the order they were given in, so parts merge to the order of a single sort.
    const auto keyLess = [this, &keys](size_t& compared) {
        return [this, &keys, &compared](quint32 a, quint32 b) {
            if (++compared % 4096 == 0)
                checkCancelled();
            const int res = keys[a]->compare(*keys[b]);
            return res != 0 ? res < 0 : a < b;
        };
    };
    const auto makePart = [&](size_t p) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        const size_t begin = partBegin(p), end = partBegin(p + 1);
        // Folding first keeps the order case-blind also where the collation's keys are not (the C locale).
        for (size_t i = begin; i < end; ++i) {
            if ((i - begin) % 1024 == 0)
                checkCancelled();
            keys[i].emplace(collator.sortKey(textOf(i).toCaseFolded()));
        }
        size_t compared = 0;
        std::sort(byKey.begin() + qsizetype(begin), byKey.begin() + qsizetype(end), keyLess(compared));
    };
    runInParts(parts, [&](size_t p) {
        try {
            makePart(p);
        } catch (...) {
            cancelled.store(true, std::memory_order_relaxed); // the other parts end at their next check
            throw;
        }
    });
    size_t compared = 0;
    for (size_t width = 1; width < parts; width *= 2) {
        for (size_t p = 0; p + width < parts; p += 2 * width) {
            const auto at = [&](size_t q) { return byKey.begin() + qsizetype(partBegin(std::min(q, parts))); };
            std::inplace_merge(at(p), at(p + width), at(p + 2 * width), keyLess(compared));
        }
    }
    std::vector<quint32> rank(count);
    quint32 current = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && keys[byKey[i]]->compare(*keys[byKey[i - 1]]) != 0)
            ++current;
        rank[byKey[i]] = current;
    }
    return rank;
}

RowSorter::RowSorter(QObject* parent) : QObject(parent) {}

RowSorter::~RowSorter() {
    cancel();
}

void RowSorter::setModel(ReportModel* model) {
    cancel();
    disconnect(m_resetConnection);
    disconnect(m_destroyedConnection);
    m_model = model;
    if (!model)
        return;
    // A new set of rows: a sort of the old ones has nothing left to order.
    m_resetConnection = connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &RowSorter::cancel);
    m_destroyedConnection = connect(model, &QObject::destroyed, this, [this] {
        cancel();
        m_model = nullptr;
    });
}

void RowSorter::sort(int column, bool ascending) {
    start(column, ascending, true);
}

void RowSorter::start(int column, bool ascending, bool sliced) {
    cancel();
    if (!m_model || m_model->rowCount() < 2)
        return;
    double first = 0;
    const bool byKey = m_keyOf && m_keyOf(column, 0, first);
    auto job = std::make_shared<Job>(*m_model, column, ascending, !byKey);
    if (byKey) {
        job->keys[0] = first;
        job->next = 1;
    }
    m_job = job;
    takeKeys(job, sliced);
}

void RowSorter::takeKeys(const std::shared_ptr<Job>& job, bool sliced) {
    // Keys are taken in storage order, which reads memory in sequence, a slice at a time.
    const auto deadline = std::chrono::steady_clock::now() + kKeySlice;
    const bool atOnce = !sliced || job->order.size() < size_t(m_backgroundFrom);
    const int c = job->column;
    try {
        for (int& s = job->next; s < job->stored; ++s) {
            if (!atOnce && s % 1024 == 0 && std::chrono::steady_clock::now() > deadline) {
                QTimer::singleShot(0, this, [this, job] {
                    if (job != m_job)
                        return;
                    try {
                        if (job->generation != m_model->generation())
                            start(job->column, job->ascending, true); // the rows changed: take their keys anew
                        else
                            takeKeys(job, true);
                    } catch (const std::exception& e) {
                        report(e);
                    }
                });
                return;
            }
            if (!job->byText) {
                m_keyOf(c, s, job->keys[size_t(s)]);
            } else if (job->byCaption) {
                job->captions[size_t(s)] = m_model->storedCaptionBytes(s);
            } else {
                const ListRow& row = m_model->storedRow(s);
                const CellKind kind = m_model->columns()[c].kind;
                const bool held = m_model->isStoredTextRow(s) || kind == CellKind::Text;
                const bool unread =
                    !held && (row.word & FileAttr::Unread) && (kind == CellKind::Size || kind == CellKind::FileTime);
                if (unread) {
                    if (job->emptyGroup < 0) {
                        job->emptyGroup = job->texts.size();
                        job->texts.append(QString());
                    }
                    job->groups[size_t(s)] = quint32(job->emptyGroup);
                } else {
                    const auto [at, added] =
                        job->groupOf.try_emplace(m_model->cellValue(row, c), quint32(job->texts.size()));
                    if (added)
                        job->texts.append(m_model->storedText(s, c));
                    job->groups[size_t(s)] = at->second;
                }
            }
        }
    } catch (...) {
        m_job.reset();
        throw;
    }
    if (atOnce) {
        job->compute();
        apply(job);
        return;
    }
    // The event is made on this thread and only handed over by the worker, so the thread that reads
    // it made it: Qt's own hand-over is out of the race detector's sight.
    auto done = std::make_unique<QEvent>(workerDoneEvent());
    job->worker = std::thread([this, job, doneEvent = done.get()] {
        job->compute();
        job->done.store(true, std::memory_order_release);
        QCoreApplication::postEvent(this, doneEvent);
    });
    done.release();
}

bool RowSorter::event(QEvent* event) {
    if (event->type() != workerDoneEvent())
        return QObject::event(event);
    workerDone();
    return true;
}

void RowSorter::workerDone() {
    // A dropped sort's worker posts too: only the pending sort, once its worker is done, is applied.
    const std::shared_ptr<Job> job = m_job;
    if (!job || !job->done.load(std::memory_order_acquire))
        return;
    try {
        apply(job);
    } catch (const std::exception& e) {
        report(e);
    }
}

void RowSorter::apply(const std::shared_ptr<Job>& job) {
    if (job->worker.joinable())
        job->worker.join();
    m_job.reset();
    if (job->error)
        std::rethrow_exception(job->error);
    if (job->generation != m_model->generation() || job->newOrder.size() != size_t(m_model->rowCount())) {
        // The rows changed since their keys were taken: this order is not theirs.
        start(job->column, job->ascending, true);
        return;
    }
    m_model->reorder(std::move(job->newOrder), job->newRowOf);
    emit sorted();
}

void RowSorter::finish() {
    while (m_job) {
        const std::shared_ptr<Job> job = m_job;
        if (job->worker.joinable())
            apply(job); // waits for the worker; sorts again if the rows changed meanwhile
        else if (job->generation != m_model->generation())
            start(job->column, job->ascending, false);
        else
            takeKeys(job, false);
    }
}

void RowSorter::cancel() {
    if (!m_job)
        return;
    const std::shared_ptr<Job> job = std::move(m_job);
    job->cancelled = true;
    if (job->worker.joinable())
        job->worker.join();
}

void RowSorter::report(const std::exception& error) const {
    if (m_onError)
        m_onError(QString::fromUtf8(error.what()));
}
