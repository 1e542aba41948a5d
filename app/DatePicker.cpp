#include "app/DatePicker.h"

#include "search/DateText.h"

#include <QKeyEvent>

DatePicker::DatePicker(QWidget* parent) : QDateTimeEdit(parent) {
    setDisplayFormat(shortDateFormat(QLocale::system()));
    setCalendarPopup(true);
}

QString DatePicker::shortDateFormat(const QLocale& locale) {
    return DateTextFormat::widenedShortDate(locale);
}

bool DatePicker::focusNextPrevChild(bool next) {
    return QWidget::focusNextPrevChild(next);
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    // The base class would take Tab to move between its sections.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        const bool back = event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
        focusNextPrevChild(!back);
        event->accept();
        return;
    }
    QDateTimeEdit::keyPressEvent(event);
}
