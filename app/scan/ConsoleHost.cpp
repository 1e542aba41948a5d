#include "app/scan/ConsoleHost.h"

#include "export/ListWriters.h"
#include "text/FileHelpers.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void noteStop(int signal) {
    g_stopSignal = signal;
}

// Ten times a second follows a fast walk closely enough; more often only flickers.
constexpr std::chrono::milliseconds kProgressInterval(100);

// Columns of the terminal on standard error; a line that wraps cannot be drawn over.
qsizetype terminalColumns() {
    struct winsize size {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

// The end of text that fits in width columns (one per character), after "…" when cut.
std::string tailFitting(const std::string& text, qsizetype width) {
    const auto columns = [](std::string_view t) {
        return std::count_if(t.begin(), t.end(), [](char c) { return (uchar(c) & 0xC0) != 0x80; });
    };
    if (columns(text) <= width)
        return text;
    if (width <= 1)
        return {};
    size_t at = text.size();
    qsizetype taken = 0;
    while (at > 0 && taken < width - 1) {
        --at;
        if ((uchar(text[at]) & 0xC0) != 0x80)
            ++taken;
    }
    return "\u2026" + text.substr(at);
}

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
    m_countsTypes = progress.mode == WalkMode::CountTypes;
    m_totalFiles = progress.totalFiles;
    m_rowsNow = progress.rows;
    m_bytes = progress.bytes;
    if (m_progress)
        m_folder.assign(progress.folder);
}

void ConsoleHost::pump() {
    if (g_stopSignal != 0)
        m_run.StopSearch = true;
    if (m_onPump)
        m_onPump();
    if (m_progress && std::chrono::steady_clock::now() - m_lastShown >= kProgressInterval)
        drawProgress();
}

void ConsoleHost::drawProgress() {
    const qint64 files = m_countsTypes ? m_totalFiles : m_handedOn + m_rowsNow;
    char counts[96];
    std::snprintf(counts, sizeof counts, "%lld entries, %lld files, ", static_cast<long long>(m_entries),
                  static_cast<long long>(files));
    std::string line = "\r";
    line += counts;
    line += FormatSize(m_bytes).toStdString();
    line += "  ";
    std::string folder;
    appendEscaped(folder, m_folder);
    // One column short of the width, so the cursor never moves to a next line.
    line += tailFitting(folder, terminalColumns() - 1 - qsizetype(line.size() - 1));
    line += "\033[K";
    writeAll(line.data(), line.size());
    m_shown = true;
    m_lastShown = std::chrono::steady_clock::now();
}

void ConsoleHost::clearProgress() {
    if (m_shown)
        writeAll("\r\033[K", 4);
    m_shown = false;
}
