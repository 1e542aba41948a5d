#pragma once

#include <QtGlobal>
#include <limits>

// File times: 100-ns units since 1601-01-01 UTC, as the records keep them.
namespace FileTime {

inline constexpr qint64 kTicksPerSecond = 10000000;
inline constexpr qint64 kTicksPerMinute = 60 * kTicksPerSecond;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr qint64 kUnixEpochSeconds = 11644473600LL;

// The file time of a Unix time. Times beyond the range of a file time (some file systems store
// 64-bit seconds) saturate at its ends instead of overflowing.
constexpr qint64 fromUnix(qint64 seconds, qint64 nanoseconds = 0) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMaxSeconds = kMax / kTicksPerSecond - kUnixEpochSeconds - 1;
    constexpr qint64 kMinSeconds = -(kMax / kTicksPerSecond) - kUnixEpochSeconds + 1;
    if (seconds > kMaxSeconds)
        return kMax;
    if (seconds < kMinSeconds)
        return -kMax;
    return (seconds + kUnixEpochSeconds) * kTicksPerSecond + nanoseconds / 100;
}

} // namespace FileTime
