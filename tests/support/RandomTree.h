#pragma once

#include <string>
#include <vector>

// What makeRandomTree makes, beyond the ordinary files and folders.
struct RandomTreeShape {
    int folders = 40;
    int files = 400;
    int bigFolderFiles = 1200; // in one folder of their own, "big"
    // Folders that cannot be read ("closed-*", mode 0) and folders whose names can be read but not
    // their entries' metadata ("names-only-*", mode 0444). As root they are only unreadable to a
    // thread without file rights.
    bool unreadable = true;
};

// Makes a reproducible tree under root (native bytes, an existing folder): folders at several
// depths, hidden files and folders, names with bytes that are not UTF-8 and non-Latin names,
// extensions in several letter cases and none, read-only files, sizes and modification times of
// every kind, links to files and folders (inside the tree and out of it), dangling links, FIFOs,
// empty folders, the unreadable folders of shape and one large folder. Returns the folders made,
// relative to root.
std::vector<std::string> makeRandomTree(const std::string& root, unsigned seed, const RandomTreeShape& shape = {});
