#pragma once

// The steps of a duplicate search, in the order they run. A file goes on to the next step only while
// it may still have a copy.
enum class DuplicateStage {
    Stat,    // every candidate looked at without following a link: type, size, device and inode
    Quick,   // files of a size that another file shares: a hash of their first and last 64 KiB, which
             // covers a file of up to 128 KiB whole and decides for it
    Full,    // larger files whose quick hashes agree: a hash of the whole file
    Compare, // with the paranoid option only: the bytes of each group's files compared
};
