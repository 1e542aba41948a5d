#pragma once

#include <QDateTimeEdit>

// A date picker that keeps the time of day of its value and shows the date in the locale's short
// format with a drop-down calendar. Tab leaves the control as in any other field instead of
// walking through the day, month and year sections. A click into a section selects it, so what is
// typed then replaces it (a year typed into the year).
class DatePicker : public QDateTimeEdit {
    Q_OBJECT

public:
    explicit DatePicker(QWidget* parent = nullptr);

    // The locale's short date format with a two-digit year widened to four digits, so the text
    // reads back unambiguously.
    static QString shortDateFormat(const QLocale& locale);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
};
