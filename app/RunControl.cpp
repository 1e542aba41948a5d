#include "app/try1.h"

#include "search/RunState.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTime>

namespace {

const QString kGo = QStringLiteral("GO");
const QString kStop = QStringLiteral("STOP");

// The locale's long time format, hours, minutes and seconds in its own style, without the time
// zone that Qt's long format adds: a clock on the desk shows no zone name.
QString clockFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

} // namespace

void TForm1::Button1Click() {
    // The empty-root test comes first: with no root even STOP does nothing (Escape still works).
    if (RootDir->text().isEmpty())
        return;
    if (Button1->text() != kGo) {
        StopSearch = true;
        Button1->setText(kGo);
        return;
    }
    // After STOP the caption reads "GO" while the run is still unwinding; a new run now would
    // work on the lists that run is using.
    if (m_runActive)
        return;
    StopSearch = false;
    Button1->setText(kStop);
    ResetDisplay();
    const bool anyCondition = InFile->isChecked() || SingleFile->isChecked() || FileCreated->isChecked() ||
                              FileModified->isChecked() || AttribsChk->isChecked() || FileSize->isChecked();
    if (anyCondition)
        LoadFileList(QStringLiteral("x"));
    else
        LoadTypeSummary();
}

void TForm1::FormKeyDown(QKeyEvent* event) {
    // Neither key is consumed: the focused control receives it as well.
    if (event->key() == Qt::Key_Escape)
        StopSearch = true;
    if (event->key() == Qt::Key_F5)
        Button1Click();
}

void TForm1::Timer1Timer() {
    if (Button1->text() == kGo) {
        const QLocale locale = QLocale::system();
        TimeLabel->setText(
            QStringLiteral("Current time: %1").arg(locale.toString(QTime::currentTime(), clockFormat(locale))));
    } else {
        ++ElapsedSeconds;
        TimeLabel->setText(QStringLiteral("Elapsed time: %1 seconds").arg(ElapsedSeconds));
    }
}
