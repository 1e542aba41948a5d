#include "app/CollapseSplitter.h"

#include <QResizeEvent>
#include <QSplitterHandle>
#include <QToolButton>

namespace {

class CollapseHandle : public QSplitterHandle {
public:
    CollapseHandle(CollapseSplitter* splitter) : QSplitterHandle(Qt::Vertical, splitter) {
        m_button = new QToolButton(this);
        m_button->setObjectName(QStringLiteral("collapseButton"));
        m_button->setCursor(Qt::ArrowCursor);
        m_button->setFocusPolicy(Qt::NoFocus);
        m_button->setAutoRaise(false);
        m_button->setFixedSize(100, 10);
        m_button->setIconSize(QSize(8, 6));
        showState(false);
        connect(m_button, &QToolButton::clicked, splitter,
                [splitter] { splitter->setCollapsed(!splitter->isCollapsed()); });
        connect(splitter, &CollapseSplitter::collapsedChanged, this, [this](bool collapsed) { showState(collapsed); });
    }

    QAbstractButton* button() const { return m_button; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QSplitterHandle::resizeEvent(event);
        m_button->move((width() - m_button->width()) / 2, (height() - m_button->height()) / 2);
    }

private:
    // The arrow points where the lower block's border will go.
    void showState(bool collapsed) { m_button->setArrowType(collapsed ? Qt::UpArrow : Qt::DownArrow); }

    QToolButton* m_button;
};

} // namespace

CollapseSplitter::CollapseSplitter(QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    setHandleWidth(12);
    setOpaqueResize(true);
    setChildrenCollapsible(false);
    connect(this, &QSplitter::splitterMoved, this, &CollapseSplitter::handleMoved);
}

void CollapseSplitter::setCollapsed(bool collapsed) {
    if (collapsed == m_collapsed || count() < 2)
        return;
    if (collapsed) {
        m_restoreSizes = sizes();
        // Collapsible only while collapsed, so a drag can never squeeze the block away.
        setCollapsible(1, true);
        setSizes({m_restoreSizes[0] + m_restoreSizes[1], 0});
    } else {
        setSizes(m_restoreSizes);
        setCollapsible(1, false);
    }
    m_collapsed = collapsed;
    emit collapsedChanged(collapsed);
}

QAbstractButton* CollapseSplitter::collapseButton() const {
    const auto* h = count() >= 2 ? dynamic_cast<CollapseHandle*>(handle(1)) : nullptr;
    return h ? h->button() : nullptr;
}

QSplitterHandle* CollapseSplitter::createHandle() {
    return new CollapseHandle(this);
}

// Dragging the border back out of a collapsed state restores the block just as the button does.
void CollapseSplitter::handleMoved() {
    if (m_collapsed && count() >= 2 && sizes().value(1) > 0) {
        setCollapsible(1, false);
        m_collapsed = false;
        emit collapsedChanged(false);
    }
}
