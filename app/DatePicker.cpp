#include "app/DatePicker.h"

#include <QKeyEvent>
#include <QRegularExpression>

DatePicker::DatePicker(QWidget* parent) : QDateTimeEdit(parent) {
    setDisplayFormat(shortDateFormat(QLocale::system()));
    setCalendarPopup(true);
}

QString DatePicker::shortDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
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
