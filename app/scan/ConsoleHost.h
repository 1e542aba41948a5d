#pragma once

#include "walk/RunState.h"
#include "walk/ScanHost.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <string>

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

    // Called at each pump, before the progress line is drawn: a streamed list writes its rows then.
    void setOnPump(std::function<void()> onPump) { m_onPump = std::move(onPump); }
    // Rows written out and let go of; the line keeps counting them.
    void rowsHandedOn(qint64 rows) {
        m_handedOn += rows;
        m_rowsNow = 0;
    }

    // Erases the progress line, so what follows on the terminal starts clean.
    void clearProgress();

    // The signal that asked the run to stop (SIGINT or SIGTERM), 0 while none did.
    static int stopSignal();

private:
    void drawProgress();

    ScanOptions m_options;
    RunState& m_run;
    bool m_progress;
    std::function<void()> m_onPump;
    qint64 m_entries = 0;
    bool m_countsTypes = false;
    qint64 m_totalFiles = 0;
    qint64 m_rowsNow = 0;
    qint64 m_handedOn = 0;
    qint64 m_bytes = 0;
    std::string m_folder;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_lastShown; // the first pump shows the line at once
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};
