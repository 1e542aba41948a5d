#include "duplicates/OtherCopies.h"

#include <cerrno>
#include <utility>

size_t defaultKeep(const DuplicateGroup& group) {
    size_t best = 0;
    for (size_t i = 1; i < group.files.size(); ++i) {
        const FileFacts& a = group.files[i].facts;
        const FileFacts& b = group.files[best].facts;
        const auto older = std::make_pair(a.modifiedSeconds, a.modifiedNanoseconds);
        const auto than = std::make_pair(b.modifiedSeconds, b.modifiedNanoseconds);
        if (older < than || (older == than && group.files[i].path.size() < group.files[best].path.size()))
            best = i;
    }
    return best;
}

Recheck recheck(const QByteArray& path, const FileFacts& facts) {
    FileFacts now;
    bool regular = false;
    if (!FileFacts::lstat(path.constData(), now, regular))
        return errno == ENOENT || errno == ENOTDIR ? Recheck::Vanished : Recheck::Changed;
    return regular && now == facts ? Recheck::Same : Recheck::Changed;
}

namespace {

std::vector<QByteArray> namesOf(const DuplicateFile& file) {
    std::vector<QByteArray> names{file.path};
    names.insert(names.end(), file.otherNames.begin(), file.otherNames.end());
    return names;
}

} // namespace

OtherCopiesOutcome moveOtherCopies(const std::vector<DuplicateGroup>& groups, const std::vector<size_t>& keep,
                                   const std::function<bool(const QByteArray& path)>& move) {
    OtherCopiesOutcome out;
    for (size_t g = 0; g < groups.size() && g < keep.size(); ++g) {
        const DuplicateGroup& group = groups[g];
        if (keep[g] >= group.files.size())
            continue;
        const DuplicateFile& kept = group.files[keep[g]];
        for (size_t i = 0; i < group.files.size(); ++i) {
            if (i == keep[g])
                continue;
            // The kept copy again before every other copy: were it gone, the last copy would go too.
            const Recheck keptNow = recheck(kept.path, kept.facts);
            if (keptNow != Recheck::Same) {
                out.left.push_back({kept.path, keptNow == Recheck::Vanished ? LeftCopy::Why::KeptCopyVanished
                                                                            : LeftCopy::Why::KeptCopyChanged});
                break;
            }
            const DuplicateFile& copy = group.files[i];
            const std::vector<QByteArray> names = namesOf(copy);
            bool allSame = true;
            for (const QByteArray& name : names) {
                const Recheck now = recheck(name, copy.facts);
                if (now != Recheck::Same) {
                    out.left.push_back(
                        {name, now == Recheck::Vanished ? LeftCopy::Why::Vanished : LeftCopy::Why::Changed});
                    allSame = false;
                }
            }
            if (!allSame)
                continue;
            for (const QByteArray& name : names) {
                if (move(name))
                    out.moved.push_back(name);
                else
                    out.left.push_back({name, LeftCopy::Why::NotMoved});
            }
        }
    }
    return out;
}
