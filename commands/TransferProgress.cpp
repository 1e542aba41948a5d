#include "commands/TransferProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

TransferProgress::TransferProgress(QWidget* parent, const QString& title, qint64 totalBytes)
    : m_parent(parent), m_title(title), m_totalBytes(totalBytes) {
    m_clock.start();
}

TransferProgress::~TransferProgress() {
    delete m_dialog;
}

bool TransferProgress::update(const QString& fileName, qint64 doneBytes) {
    if (!m_dialog) {
        if (m_clock.elapsed() < kShowAfterMs)
            return true;
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setRange(0, 1000);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    m_dialog->setLabelText(fileName);
    // Per mille, since a byte count does not fit the dialog's int range.
    const qint64 total = std::max<qint64>(m_totalBytes, 1);
    m_dialog->setValue(int(std::clamp<qint64>(doneBytes * 1000 / total, 0, 1000)));
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}
