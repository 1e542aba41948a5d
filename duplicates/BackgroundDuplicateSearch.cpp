#include "duplicates/BackgroundDuplicateSearch.h"

#include <exception>

BackgroundDuplicateSearch::BackgroundDuplicateSearch(const QList<QByteArray>& paths, const DuplicateOptions& options)
    : m_finder(options) {
    for (const QByteArray& path : paths)
        m_finder.add(path);
    m_thread = std::thread([this] { run(); });
}

BackgroundDuplicateSearch::~BackgroundDuplicateSearch() {
    m_finder.cancel();
    m_thread.join();
}

void BackgroundDuplicateSearch::run() {
    std::optional<DuplicateResult> result;
    QString failure;
    try {
        result = m_finder.run([this](const DuplicateProgress& p) {
            std::lock_guard lock(m_mutex);
            m_progress = p;
        });
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    } catch (...) {
        failure = QStringLiteral("The duplicate search failed.");
    }
    std::lock_guard lock(m_mutex);
    m_result = std::move(result);
    m_failure = failure;
    m_done = true;
}

void BackgroundDuplicateSearch::cancel() {
    m_finder.cancel();
}

DuplicateProgress BackgroundDuplicateSearch::progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

bool BackgroundDuplicateSearch::isDone() const {
    std::lock_guard lock(m_mutex);
    return m_done;
}

std::optional<DuplicateResult> BackgroundDuplicateSearch::takeResult() {
    std::lock_guard lock(m_mutex);
    std::optional<DuplicateResult> result = std::move(m_result);
    m_result.reset();
    return result;
}

QString BackgroundDuplicateSearch::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}
