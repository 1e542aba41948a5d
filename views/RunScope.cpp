#include "views/RunScope.h"

#include "app/try1.h"

#include <QApplication>
#include <QPushButton>
#include <QStatusBar>

RunScope::RunScope(TForm1& form) : m_form(form) {
    Q_ASSERT(!form.m_runActive);
    form.m_runActive = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorShown = true;
}

RunScope::~RunScope() {
    restoreCursor();
    m_form.Button1->setText(QStringLiteral("GO"));
    m_form.DataList.clear();
    m_form.IndexList.Clear();
    m_form.FileList.clear();
    m_form.HeaderControl1->clearMessage();
    m_form.HeaderControl1->repaint();
    m_form.m_runActive = false;
}

void RunScope::restoreCursor() {
    if (m_cursorShown) {
        QApplication::restoreOverrideCursor();
        m_cursorShown = false;
    }
}
