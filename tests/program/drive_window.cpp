// Loaded with LD_PRELOAD into a trovex program as it ships, which has no test hook of its own, so
// that scripts/check-install.sh can start the installed program and press a button as a user does.
// Once the event loop runs, it writes to $TROVEX_DRIVE_REPORT what the program was started as and
// on, presses the push button named $TROVEX_DRIVE_PRESS (when set), and quits. A message box that
// comes up is written to the report, closed, and fails the run (exit status 1).
//
// Report lines: "program PATH", "argument TEXT" for each argument, "RootDir TEXT", then "pressed
// NAME" or "message TEXT", and "done" last.

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

QWidget* findWidget(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name)
            return top;
        if (auto* widget = top->findChild<QWidget*>(name))
            return widget;
    }
    return nullptr;
}

class Driver {
public:
    // Waits for the main window to show, answering any message box that comes first.
    void poll() {
        closeMessageBox();
        QWidget* root = findWidget(QStringLiteral("RootDir"));
        if (root && root->window()->isVisible())
            run();
        else
            QTimer::singleShot(20, [this] { poll(); });
    }

private:
    void run() {
        const QStringList arguments = QCoreApplication::arguments();
        m_lines << QStringLiteral("program ") + QCoreApplication::applicationFilePath();
        for (qsizetype i = 1; i < arguments.size(); ++i)
            m_lines << QStringLiteral("argument ") + arguments[i];
        if (auto* root = qobject_cast<QLineEdit*>(findWidget(QStringLiteral("RootDir"))))
            m_lines << QStringLiteral("RootDir ") + root->text();
        const QString name = qEnvironmentVariable("TROVEX_DRIVE_PRESS");
        if (!name.isEmpty()) {
            auto* button = qobject_cast<QAbstractButton*>(findWidget(name));
            if (!button) {
                m_lines << QStringLiteral("message no button named ") + name;
                m_failed = true;
            } else {
                // A box the press opens runs its own event loop, in which this answers it.
                QTimer::singleShot(0, [this] { closeMessageBox(); });
                button->click();
                m_lines << QStringLiteral("pressed ") + name;
            }
        }
        m_lines << QStringLiteral("done");
        QFile report(qEnvironmentVariable("TROVEX_DRIVE_REPORT"));
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            report.write((m_lines.join(u'\n') + u'\n').toUtf8()) < 0)
            m_failed = true;
        QCoreApplication::exit(m_failed ? 1 : 0);
    }

    void closeMessageBox() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        const auto* box = qobject_cast<QMessageBox*>(modal);
        m_lines << QStringLiteral("message ") + (box ? box->text() : modal->windowTitle());
        m_failed = true;
        modal->close();
    }

    QStringList m_lines;
    bool m_failed = false;
};

void startDriving() {
    static Driver driver;
    QTimer::singleShot(0, [] { driver.poll(); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriving)
