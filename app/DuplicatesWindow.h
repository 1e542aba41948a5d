#pragma once

#include "duplicates/DuplicateOptions.h"
#include "duplicates/DuplicateResult.h"

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <memory>
#include <vector>

class BackgroundDuplicateSearch;
class Desktop;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
struct DuplicateProgress;

// The window of "Find duplicates among selected files": the groups of equal files among the paths
// it is given, each file with its path, size and modification time, one file of each group marked
// to keep (a click marks another), and "Move the other copies to trash". The search runs on a
// thread of its own while a progress line and Cancel show; it never touches the main window's
// lists. Like the chart, a window of its own even with a parent, opened over its parent's window,
// closed with it and with Escape or Ctrl+W.
class DuplicatesWindow : public QWidget {
    Q_OBJECT

public:
    explicit DuplicatesWindow(Desktop& desktop, QWidget* parent = nullptr);
    ~DuplicatesWindow() override;

    // Searches the paths (native bytes) for duplicates; a search under way and what was shown go.
    void start(const QList<QByteArray>& paths, const DuplicateOptions& options = {});
    bool isSearching() const { return m_search != nullptr; }
    // Stops the search under way; the window then says it was cancelled.
    void cancel();

    // The groups shown, and the file of each that is kept.
    const std::vector<DuplicateGroup>& groups() const { return m_groups; }
    size_t keptFile(size_t group) const { return m_keep.at(group); }
    void setKept(size_t group, size_t file);

    // Asks with the delete question, then moves every file of each group but the kept one to the
    // trash, each checked first against what was hashed; reports what was left and why.
    void moveOtherCopiesToTrash();

    QTreeWidget* groupsView() const { return m_view; }
    QLabel* progressLabel() const { return m_progress; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* trashButton() const { return m_trash; }
    QLabel* trashNote() const { return m_note; }

signals:
    // Names of files that went to the trash, so the file list drops their rows.
    void filesTrashed(const QList<QByteArray>& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void poll();
    void finish();
    void showGroups();
    void showKept(size_t group);
    void clicked(QTreeWidgetItem* item);
    void setSearching(bool searching);
    static QString progressText(const DuplicateProgress& progress);

    Desktop& m_desktop;
    std::unique_ptr<BackgroundDuplicateSearch> m_search;
    std::vector<DuplicateGroup> m_groups;
    std::vector<size_t> m_keep;
    std::vector<UnreadFile> m_unread;
    QTreeWidget* m_view = nullptr;
    QLabel* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_trash = nullptr;
    QLabel* m_note = nullptr;
    QTimer* m_poll = nullptr;
    bool m_placed = false;
};
