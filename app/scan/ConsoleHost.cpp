#include "app/scan/ConsoleHost.h"

#include <cstdio>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void noteStop(int signal) {
    g_stopSignal = signal;
}

// A person reads a line that changes about four times a second; more often only flickers.
constexpr std::chrono::milliseconds kProgressInterval(250);

void writeAll(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0)
            return; // a progress line that cannot be shown is no reason to stop the run
        text += n;
        length -= size_t(n);
    }
}

} // namespace

ConsoleHost::ConsoleHost(const ScanOptions& options, RunState& run, bool progress)
    : m_options(options), m_run(run), m_progress(progress) {
    // The walk stops at its next entry and the run ends as after STOP; no handler is reset, so a
    // second Ctrl+C cannot kill the program halfway through removing its unfinished output.
    struct sigaction action {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &m_oldInt);
    ::sigaction(SIGTERM, &action, &m_oldTerm);
}

ConsoleHost::~ConsoleHost() {
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
}

int ConsoleHost::stopSignal() {
    return g_stopSignal;
}

void ConsoleHost::showProgress(const WalkProgress& progress) {
    // Drawn at the pump, not here: the walk hands its counts once more as it ends, and the line is
    // erased then rather than drawn again.
    m_entries = progress.entries;
    // A summary counts files into the type table; a list collects them.
    m_files = progress.mode == WalkMode::CountTypes ? qint64(progress.totalFiles) : progress.rows;
}

void ConsoleHost::pump() {
    if (g_stopSignal != 0)
        m_run.StopSearch = true;
    if (m_progress && std::chrono::steady_clock::now() - m_lastShown >= kProgressInterval)
        drawProgress();
}

void ConsoleHost::drawProgress() {
    char line[96];
    const int n = std::snprintf(line, sizeof line, "\r%lld entries, %lld files\033[K",
                                static_cast<long long>(m_entries), static_cast<long long>(m_files));
    writeAll(line, size_t(n));
    m_shown = true;
    m_lastShown = std::chrono::steady_clock::now();
}

void ConsoleHost::clearProgress() {
    if (m_shown)
        writeAll("\r\033[K", 4);
    m_shown = false;
}
