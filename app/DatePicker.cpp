#include "app/DatePicker.h"

#include "text/DateText.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

DatePicker::DatePicker(QWidget* parent) : QDateTimeEdit(parent) {
    setDisplayFormat(shortDateFormat(QLocale::system()));
    setCalendarPopup(true);
    lineEdit()->installEventFilter(this);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    // The click puts the cursor into a section; once it has, the section is selected.
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !lineEdit()->hasSelectedText())
        QMetaObject::invokeMethod(
            this, [this] { setSelectedSection(currentSection()); }, Qt::QueuedConnection);
    return QDateTimeEdit::eventFilter(watched, event);
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
