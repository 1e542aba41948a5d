#pragma once

#include <QList>
#include <QSplitter>

class QAbstractButton;

// A vertical splitter of two blocks whose 12-px handle carries a 100-px button in its middle:
// the button collapses the lower block to nothing and brings it back at its former height.
// Dragging resizes live and keeps both blocks at their minimum heights; only the button collapses.
class CollapseSplitter : public QSplitter {
    Q_OBJECT

public:
    explicit CollapseSplitter(QWidget* parent = nullptr);

    bool isCollapsed() const { return m_collapsed; }
    void setCollapsed(bool collapsed);

    // The button in the handle, once the lower block has been added.
    QAbstractButton* collapseButton() const;

signals:
    void collapsedChanged(bool collapsed);

protected:
    QSplitterHandle* createHandle() override;

private:
    void handleMoved();

    QList<int> m_restoreSizes;
    bool m_collapsed = false;
};
