#include "lists/ListFilters.h"

#include "platform/FileName.h"
#include "platform/Processors.h"
#include "text/FileHelpers.h"
#include "records/TDataIndexList.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// Rows read by one processor at least: fewer are read on the calling thread alone.
constexpr int kRowsPerPart = 1 << 16;

// The part's bytes within the path's bytes. "/" and "." are single bytes that no other sequence
// decodes to, so the bytes decode to exactly the part of the decoded path.
std::string_view partOf(std::string_view path, PathPart part) {
    if (part == PathPart::Folder) {
        const void* slash = ::memrchr(path.data(), '/', path.size());
        return slash ? path.substr(0, size_t(static_cast<const char*>(slash) - path.data()) + 1) : std::string_view();
    }
    const qsizetype dot = extensionOffset(path.data(), qsizetype(path.size()));
    return dot < 0 ? std::string_view() : path.substr(size_t(dot));
}

// The distinct parts of a range of rows, which of them each row has, and whether each is the
// wanted one. The bytes are the arena's own, which stay where they are while the rows do.
struct PartsOfRows {
    std::vector<bool> same;

    void read(const ReportModel& model, PathPart part, int begin, int end, quint32* idOfRow,
              std::string_view wantedBytes, const QString& wanted, const LocaleTextComparer& comparer) {
        std::unordered_map<std::string_view, quint32> ids;
        std::vector<std::string_view> distinct;
        // Rows in walk order come folder by folder: most rows have the part of the row before them.
        std::string_view last;
        quint32 lastId = 0;
        for (int r = begin; r < end; ++r) {
            const std::string_view bytes = partOf(model.captionBytes(r), part);
            if (bytes != last || r == begin) {
                const auto [it, added] = ids.try_emplace(bytes, quint32(distinct.size()));
                if (added)
                    distinct.push_back(bytes);
                last = bytes;
                lastId = it->second;
            }
            idOfRow[r] = lastId;
        }
        same.reserve(distinct.size());
        for (const std::string_view bytes : distinct) {
            same.push_back(bytes == wantedBytes ||
                           comparer.same(platform::decodeFileName(bytes.data(), qsizetype(bytes.size())), wanted));
        }
    }
};

} // namespace

QList<int> rowsUnlike(const ReportModel& model, int like, PathPart part) {
    const int rows = model.rowCount();
    const std::string_view wantedBytes = partOf(model.captionBytes(like), part);
    const QString wanted = platform::decodeFileName(wantedBytes.data(), qsizetype(wantedBytes.size()));
    // Reading a million paths is bound by the memory more than by the comparisons: the rows are
    // read in ranges, one per processor, each comparing its distinct parts once.
    const int ranges = std::clamp(rows / kRowsPerPart, 1, processorCount());
    const auto rangeBegin = [rows, ranges](int p) { return int(qint64(rows) * p / ranges); };
    std::vector<PartsOfRows> parts(static_cast<size_t>(ranges));
    std::vector<quint32> idOfRow(static_cast<size_t>(rows));
    // Made here, on the thread that knows the locale; each range's thread uses its own.
    const std::vector<LocaleTextComparer> comparers(static_cast<size_t>(ranges));
    runInParts(size_t(ranges), [&](size_t p) {
        parts[p].read(model, part, rangeBegin(int(p)), rangeBegin(int(p) + 1), idOfRow.data(), wantedBytes, wanted,
                      comparers[p]);
    });

    QList<int> unlike;
    unlike.reserve(rows);
    for (int p = 0; p < ranges; ++p) {
        const std::vector<bool>& same = parts[size_t(p)].same;
        for (int r = rangeBegin(p); r < rangeBegin(p + 1); ++r) {
            if (!same[idOfRow[size_t(r)]])
                unlike.append(r);
        }
    }
    return unlike;
}
