#pragma once

#include "walk/RunState.h"
#include "walk/ScanHost.h"

#include <chrono>
#include <csignal>

// The walk's host in a terminal: no events to process, so the pump turns an interrupt into a stop
// request and shows the progress line. The options are fixed for the whole run.
class ConsoleHost : public ScanHost {
public:
    // progress: write "N entries, M files" to standard error a few times a second.
    ConsoleHost(const ScanOptions& options, RunState& run, bool progress);
    ~ConsoleHost() override;
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    void pump() override;
    ScanOptions options() const override { return m_options; }
    // Keeps the counts; the next pump draws them.
    void showProgress(const WalkProgress& progress) override;

    // Erases the progress line, so what follows on the terminal starts clean.
    void clearProgress();

    // The signal that asked the run to stop (SIGINT or SIGTERM), 0 while none did.
    static int stopSignal();

private:
    void drawProgress();

    ScanOptions m_options;
    RunState& m_run;
    bool m_progress;
    qint64 m_entries = 0;
    qint64 m_files = 0;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_lastShown; // the first pump shows the line at once
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};
