#pragma once

#include "duplicates/DuplicateGroup.h"

#include <QByteArray>
#include <functional>
#include <vector>

// Which copy of a group stays, and moving the others away once each is checked to be what was
// hashed. Nothing here deletes by itself: the caller asks the user first and hands in the move.

// The copy kept by default: the oldest modification time, then the shortest path, then the first.
size_t defaultKeep(const DuplicateGroup& group);

// What a fresh look at a path says of a file found with facts.
enum class Recheck {
    Same,     // the same file (device, inode), with the same size and modification and change times
    Changed,  // something else, or the file altered since
    Vanished, // nothing is there any more
};
// Looks at path without following a link and compares with facts. A path that cannot be looked at
// for another reason counts as changed: only a file known to be the one hashed is acted on.
Recheck recheck(const QByteArray& path, const FileFacts& facts);

// A file left where it was, and why.
struct LeftCopy {
    enum class Why {
        KeptCopyChanged,  // the copy to keep changed: its whole group was left
        KeptCopyVanished, // the copy to keep is gone: its whole group was left
        Changed,          // this copy changed since it was hashed
        Vanished,         // this copy is gone
        NotMoved,         // the move failed (the move itself reported why)
    };
    QByteArray path;
    Why why = Why::Changed;
};

struct OtherCopiesOutcome {
    std::vector<QByteArray> moved; // every name that went, in the order it went
    std::vector<LeftCopy> left;    // in group order
};

// For each group g, moves every name of every copy but keep[g] with move(path), which returns
// true when the name went. Just before a copy goes, the kept copy and every name of the copy are
// checked (recheck) against the facts they were hashed with: when the kept copy no longer
// matches, the group's remaining copies are left (the kept copy is reported); a copy that no
// longer matches is left and reported. A copy's names are all checked before the first goes, since
// moving one name changes the change time the others show.
OtherCopiesOutcome moveOtherCopies(const std::vector<DuplicateGroup>& groups, const std::vector<size_t>& keep,
                                   const std::function<bool(const QByteArray& path)>& move);
