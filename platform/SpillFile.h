#pragma once

#include <QString>
#include <functional>
#include <string_view>

namespace platform {

// An unnamed temporary file in $TMPDIR (else /tmp) that holds bytes to be read back once, so output
// that must wait for what comes after it (json's totals head its rows) waits on disk, not in memory.
// It has no name from the start, so nothing is left behind however the program ends.
class SpillFile {
public:
    SpillFile() = default;
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Every write is checked; false with errorString() set, and every later call fails too.
    bool append(std::string_view bytes);
    // Hands what was appended to take, in pieces, from the start; false when reading failed or take
    // refused a piece.
    bool readBack(const std::function<bool(std::string_view piece)>& take);
    const QString& errorString() const { return m_error; }

private:
    bool open();
    bool fail(int error);

    int m_fd = -1;
    bool m_failed = false;
    QString m_error;
};

} // namespace platform
