#pragma once

#include "duplicates/FileFacts.h"

#include <QByteArray>
#include <vector>

// One file of a duplicate group: one inode, however many names it was given under.
struct DuplicateFile {
    QByteArray path; // the first name it was given under, as native bytes
    // Further names of this same file: hard links, or the file reached again through another path
    // (overlapping roots, a bind mount). They are no copies: removing one frees nothing and removing
    // all of them loses the file.
    std::vector<QByteArray> otherNames;
    // What the file was when it was hashed; compare with a fresh lstat before acting on it.
    FileFacts facts;
};

// Files of equal size and equal content, each a different file (inode).
struct DuplicateGroup {
    qint64 size = 0;
    std::vector<DuplicateFile> files; // two or more, in the order their first names were given
    // The space all but one of them take.
    qint64 wasted() const { return size * qint64(files.size() - 1); }
};
