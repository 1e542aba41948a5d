#pragma once

#include <QString>

class QWidget;

// The text the application's error report shows for a failure message: the message with "."
// appended when its last character sorts after "." (so "Disk full" gains one, "Done." and
// "Failed (2)" keep theirs).
QString errorReportText(const QString& message);

// The application's error report: a modal message box with the error icon, an OK button and the
// caption "Trovex", showing errorReportText(message).
void showErrorReport(QWidget* parent, const QString& message);
