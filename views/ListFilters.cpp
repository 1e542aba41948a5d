#include "views/ListFilters.h"

#include "platform/FileName.h"
#include "search/FileHelpers.h"
#include "search/TDataIndexList.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {

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

} // namespace

QList<int> rowsUnlike(const ReportModel& model, int like, PathPart part) {
    const std::string_view wantedBytes = partOf(model.captionBytes(like), part);
    const QString wanted = platform::decodeFileName(wantedBytes.data(), qsizetype(wantedBytes.size()));
    // Keyed by the arena's own bytes, which stay where they are while the rows do.
    std::unordered_map<std::string_view, bool> same;
    same.emplace(wantedBytes, true);
    // Rows in walk order come folder by folder: most rows have the part of the row before them.
    std::string_view lastBytes = wantedBytes;
    bool lastSame = true;
    QList<int> unlike;
    unlike.reserve(model.rowCount());
    for (int r = 0; r < model.rowCount(); ++r) {
        const std::string_view bytes = partOf(model.captionBytes(r), part);
        if (bytes != lastBytes) {
            auto it = same.find(bytes);
            if (it == same.end()) {
                const QString text = platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
                it = same.emplace(bytes, SameTextLocale(text, wanted)).first;
            }
            lastBytes = bytes;
            lastSame = it->second;
        }
        if (!lastSame)
            unlike.append(r);
    }
    return unlike;
}
