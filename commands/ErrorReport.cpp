#include "commands/ErrorReport.h"

#include <QMessageBox>

QString errorReportText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showErrorReport(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Trovex"), errorReportText(message), QMessageBox::Ok, parent);
    box.exec();
}
