#pragma once

#include "duplicates/DuplicateOptions.h"
#include "duplicates/DuplicateProgress.h"
#include "duplicates/DuplicateResult.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

class ReadWorkers;
struct DuplicateCandidates;

// Finds the candidates that hold the same bytes as another: a duplicate search.
//
// The candidates are what a walk found, by path. Each is looked at without following a link: only
// regular files take part (a symbolic link never does, nor what it points to), within the size limits
// of the options. One file (device and inode) given under several paths, as hard links or through
// overlapping roots, is one file: it is never its own duplicate, and its further names are reported
// beside its first one. Then, in steps (DuplicateStage), only files that may still have a copy are
// read: those of a size another file shares get a hash of their first and last 64 KiB, which decides
// for files of up to 128 KiB; larger files whose quick hashes agree get a hash of their whole content
// (XXH3, 128 bits); with the paranoid option the bytes of each group's files are compared too. Every
// read checks the file against the facts (size, times) it was found with, so a file changed during
// the search is reported, never guessed into or out of a group.
//
// Reads run on worker threads, each with its own buffer. Files are looked at and opened by their
// names in their folder, held open for the files of a folder together, so the kernel does not walk
// every path from its start. Memory is about 100 bytes per candidate plus its name (each folder's
// path is kept once), and the buffers.
class DuplicateFinder {
public:
    explicit DuplicateFinder(const DuplicateOptions& options = {});
    ~DuplicateFinder();
    DuplicateFinder(const DuplicateFinder&) = delete;
    DuplicateFinder& operator=(const DuplicateFinder&) = delete;

    // Adds a candidate by its path's native bytes, which need not be valid UTF-8. Before run() only.
    void add(std::string_view path);
    void add(const QByteArray& path) { add(std::string_view(path.constData(), size_t(path.size()))); }
    qsizetype candidateCount() const;

    // Called on the thread that runs the search: when each step starts, every progress interval
    // during it, and when it ends. It may call cancel().
    using Progress = std::function<void(const DuplicateProgress&)>;

    // Searches the candidates and returns what it found; once per finder. Blocks this thread, which
    // only waits for the workers and reports progress. A cancelled search returns at once, with
    // cancelled set and nothing else.
    DuplicateResult run(const Progress& progress = {});

    // Cancels the search, before or during run(); from any thread, as long as the finder lives.
    // Workers stop between reads; one blocked in the kernel is left to end on its own.
    void cancel();

private:
    const DuplicateOptions m_options;
    // Shared with the workers, so one abandoned by a cancel finds what it reads still there.
    std::shared_ptr<DuplicateCandidates> m_data;
    std::unique_ptr<ReadWorkers> m_workers;
    std::unordered_map<std::string_view, quint32> m_folderIds; // while candidates are added
    bool m_ran = false;
};
