#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

// The progress dialog of a copy or move command. It appears only once the command has run for a
// second, so short commands show none; from then on each update pumps events, so its Cancel
// button is seen. Modal to the window while shown.
class TransferProgress {
public:
    TransferProgress(QWidget* parent, const QString& title, qint64 totalBytes);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Bytes of the whole command done so far, while working on the named file. False once the
    // user has cancelled.
    bool update(const QString& fileName, qint64 doneBytes);

private:
    static constexpr qint64 kShowAfterMs = 1000;

    QWidget* m_parent;
    QString m_title;
    qint64 m_totalBytes;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
};
