#include "app/DuplicatesWindow.h"

#include "commands/Desktop.h"
#include "commands/FileCommands.h"
#include "duplicates/BackgroundDuplicateSearch.h"
#include "duplicates/OtherCopies.h"
#include "platform/FileName.h"
#include "platform/FileTime.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

enum Column { KeepColumn, PathColumn, SizeColumn, ModifiedColumn };
// On a file's item: the group and the file it shows; -1 on the items of unread files.
constexpr int kGroupRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;

QString plural(qint64 n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + u(n == 1 ? one : many);
}

QString leftText(const LeftCopy& left) {
    const QString path = platform::decodeFileName(left.path);
    switch (left.why) {
    case LeftCopy::Why::KeptCopyChanged:
        return u("%1: the copy to keep changed since it was compared, so its group was left").arg(path);
    case LeftCopy::Why::KeptCopyVanished:
        return u("%1: the copy to keep is gone, so its group was left").arg(path);
    case LeftCopy::Why::Changed:
        return u("%1: changed since it was compared").arg(path);
    case LeftCopy::Why::Vanished:
        return u("%1: no longer there").arg(path);
    case LeftCopy::Why::NotMoved:
        return QString();
    }
    return QString();
}

} // namespace

DuplicatesWindow::DuplicatesWindow(Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window), m_desktop(desktop) {
    setObjectName(u("DuplicatesWindow"));
    setWindowTitle(u("Duplicate files"));
    resize(820, 520);

    m_progress = new QLabel(this);
    m_progress->setObjectName(u("DuplicatesProgress"));
    m_cancel = new QPushButton(u("Cancel"), this);
    m_cancel->setObjectName(u("DuplicatesCancel"));
    m_view = new QTreeWidget(this);
    m_view->setObjectName(u("DuplicateGroups"));
    m_view->setColumnCount(4);
    m_view->setHeaderLabels({u("Keep"), u("Path"), u("Size"), u("Modified")});
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    m_trash = new QPushButton(u("Move the other copies to trash"), this);
    m_trash->setObjectName(u("MoveOtherCopiesToTrash"));
    m_trash->setEnabled(false);
    // Said once, where the button is: users expect a removed copy to give its space back.
    m_note = new QLabel(u("The trash frees no space until it is emptied."), this);
    m_note->setObjectName(u("TrashNote"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_progress, 1);
    top->addWidget(m_cancel);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_note, 1);
    bottom->addWidget(m_trash);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    m_poll = new QTimer(this);
    m_poll->setInterval(50);
    connect(m_poll, &QTimer::timeout, this, &DuplicatesWindow::poll);
    connect(m_cancel, &QPushButton::clicked, this, &DuplicatesWindow::cancel);
    connect(m_trash, &QPushButton::clicked, this, &DuplicatesWindow::moveOtherCopiesToTrash);
    connect(m_view, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { clicked(item); });
    setSearching(false);

    if (parent)
        parent->window()->installEventFilter(this);
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

// The search, if one still runs, is cancelled and its thread joined by its own destructor.
DuplicatesWindow::~DuplicatesWindow() = default;

void DuplicatesWindow::start(const QList<QByteArray>& paths, const DuplicateOptions& options) {
    m_search.reset();
    m_groups.clear();
    m_keep.clear();
    m_unread.clear();
    m_view->clear();
    m_search = std::make_unique<BackgroundDuplicateSearch>(paths, options);
    m_progress->setText(u("Looking at %1").arg(plural(paths.size(), "file", "files")));
    setSearching(true);
}

void DuplicatesWindow::cancel() {
    if (m_search)
        m_search->cancel();
}

void DuplicatesWindow::setSearching(bool searching) {
    m_cancel->setEnabled(searching);
    m_cancel->setVisible(searching);
    m_trash->setEnabled(!searching && !m_groups.empty());
    if (searching)
        m_poll->start();
    else
        m_poll->stop();
}

QString DuplicatesWindow::progressText(const DuplicateProgress& p) {
    const QString counts = u("%1 of %2").arg(p.files).arg(p.totalFiles);
    switch (p.stage) {
    case DuplicateStage::Stat:
        return u("Looking at files: ") + counts;
    case DuplicateStage::Quick:
        return u("Reading the beginnings and ends of files: ") + counts;
    case DuplicateStage::Full:
        return u("Reading whole files: %1 (%2 of %3)").arg(counts, FormatSize(p.bytes), FormatSize(p.totalBytes));
    case DuplicateStage::Compare:
        return u("Comparing the copies byte by byte: %1 (%2 of %3)")
            .arg(counts, FormatSize(p.bytes), FormatSize(p.totalBytes));
    }
    return QString();
}

void DuplicatesWindow::poll() {
    if (!m_search)
        return;
    if (!m_search->isDone()) {
        m_progress->setText(progressText(m_search->progress()));
        return;
    }
    finish();
}

void DuplicatesWindow::finish() {
    std::optional<DuplicateResult> result = m_search->takeResult();
    const QString failure = m_search->failure();
    m_search.reset();
    if (!result) {
        setSearching(false);
        m_progress->setText(u("The search failed: ") + failure);
        return;
    }
    if (result->cancelled) {
        setSearching(false);
        m_progress->setText(u("Cancelled."));
        return;
    }
    m_groups = std::move(result->groups);
    m_unread = std::move(result->unread);
    m_keep.clear();
    for (const DuplicateGroup& g : m_groups)
        m_keep.push_back(defaultKeep(g));
    showGroups();
    setSearching(false);
    QString text = m_groups.empty()
                       ? u("No duplicates among the selected files.")
                       : u("%1 of duplicates, %2 wasted.")
                             .arg(plural(qint64(m_groups.size()), "group", "groups"), FormatSize(result->wasted));
    if (!m_unread.empty())
        text += QLatin1Char(' ') + u("%1 could not be compared.").arg(plural(qint64(m_unread.size()), "file", "files"));
    m_progress->setText(text);
}

void DuplicatesWindow::showGroups() {
    m_view->clear();
    FileDateTexts dates;
    for (size_t g = 0; g < m_groups.size(); ++g) {
        const DuplicateGroup& group = m_groups[g];
        auto* header = new QTreeWidgetItem(m_view);
        header->setText(KeepColumn, u("%1 of %2 each, %3 wasted")
                                        .arg(plural(qint64(group.files.size()), "file", "files"),
                                             FormatSize(group.size), FormatSize(group.wasted())));
        header->setFirstColumnSpanned(true);
        header->setFlags(Qt::ItemIsEnabled);
        for (size_t f = 0; f < group.files.size(); ++f) {
            const DuplicateFile& file = group.files[f];
            auto* item = new QTreeWidgetItem(header);
            QString path = platform::decodeFileName(file.path);
            if (!file.otherNames.empty()) {
                // Further names of the same file go (or stay) with it.
                QStringList names;
                for (const QByteArray& name : file.otherNames)
                    names.append(platform::decodeFileName(name));
                path += u("  (also %1)").arg(names.join(u(", ")));
            }
            item->setText(PathColumn, path);
            item->setText(SizeColumn, FormatSize(file.facts.size));
            item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
            item->setText(ModifiedColumn,
                          dates.text(FileTime::fromUnix(file.facts.modifiedSeconds, file.facts.modifiedNanoseconds)));
            item->setData(KeepColumn, kGroupRole, qulonglong(g));
            item->setData(KeepColumn, kFileRole, qulonglong(f));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        showKept(g);
    }
    if (!m_unread.empty()) {
        auto* header = new QTreeWidgetItem(m_view);
        header->setText(KeepColumn, u("Could not be compared"));
        header->setFirstColumnSpanned(true);
        header->setFlags(Qt::ItemIsEnabled);
        for (const UnreadFile& unread : m_unread) {
            auto* item = new QTreeWidgetItem(header);
            item->setText(PathColumn, u("%1: %2").arg(platform::decodeFileName(unread.path), unread.reason()));
            item->setFlags(Qt::ItemIsEnabled);
        }
    }
    m_view->expandAll();
    m_view->resizeColumnToContents(KeepColumn);
    m_view->resizeColumnToContents(SizeColumn);
    m_view->resizeColumnToContents(ModifiedColumn);
}

void DuplicatesWindow::showKept(size_t group) {
    QTreeWidgetItem* header = m_view->topLevelItem(int(group));
    for (int f = 0; f < header->childCount(); ++f) {
        const bool kept = size_t(f) == m_keep[group];
        header->child(f)->setCheckState(KeepColumn, kept ? Qt::Checked : Qt::Unchecked);
        header->child(f)->setText(KeepColumn, kept ? u("Keep") : QString());
    }
}

void DuplicatesWindow::setKept(size_t group, size_t file) {
    if (group >= m_groups.size() || file >= m_groups[group].files.size())
        return;
    m_keep[group] = file;
    showKept(group);
}

void DuplicatesWindow::clicked(QTreeWidgetItem* item) {
    const QVariant group = item->data(KeepColumn, kGroupRole);
    if (group.isValid())
        setKept(size_t(group.toULongLong()), size_t(item->data(KeepColumn, kFileRole).toULongLong()));
}

void DuplicatesWindow::moveOtherCopiesToTrash() {
    if (m_search || m_groups.empty() || !confirmDelete(m_desktop, this))
        return;
    const OtherCopiesOutcome out =
        moveOtherCopies(m_groups, m_keep, [this](const QByteArray& path) { return trashFile(path, m_desktop, this); });

    // What went leaves the groups; a group of one file is no group any more.
    const std::set<QByteArray> moved(out.moved.begin(), out.moved.end());
    std::vector<DuplicateGroup> groups;
    std::vector<size_t> keep;
    for (size_t g = 0; g < m_groups.size(); ++g) {
        DuplicateGroup group;
        group.size = m_groups[g].size;
        size_t kept = 0;
        for (size_t f = 0; f < m_groups[g].files.size(); ++f) {
            const DuplicateFile& file = m_groups[g].files[f];
            if (moved.count(file.path))
                continue;
            if (f == m_keep[g])
                kept = group.files.size();
            group.files.push_back(file);
        }
        if (group.files.size() >= 2) {
            groups.push_back(std::move(group));
            keep.push_back(kept);
        }
    }
    m_groups = std::move(groups);
    m_keep = std::move(keep);
    showGroups();
    m_trash->setEnabled(!m_groups.empty());
    m_progress->setText(u("%1 moved to the trash.").arg(plural(qint64(out.moved.size()), "file", "files")));

    if (!out.moved.empty())
        emit filesTrashed(QList<QByteArray>(out.moved.begin(), out.moved.end()));
    QStringList left;
    for (const LeftCopy& l : out.left) {
        const QString text = leftText(l);
        if (!text.isEmpty())
            left.append(text);
    }
    if (!left.isEmpty())
        m_desktop.showMessage(this, u("Left in place:\n") + left.join(QLatin1Char('\n')));
}

bool DuplicatesWindow::eventFilter(QObject* watched, QEvent* event) {
    // A spontaneous hide is the window being minimised, not closed.
    if (event->type() == QEvent::Hide && !event->spontaneous() && parentWidget() && watched == parentWidget()->window())
        close();
    return QWidget::eventFilter(watched, event);
}

void DuplicatesWindow::showEvent(QShowEvent* event) {
    if (!m_placed && parentWidget()) {
        m_placed = true;
        move(parentWidget()->window()->frameGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void DuplicatesWindow::closeEvent(QCloseEvent* event) {
    // Nobody looks at a closed window's search any more.
    cancel();
    QWidget::closeEvent(event);
}
