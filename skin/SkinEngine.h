#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// The skin of the main window: a Qt style sheet, built in or read from a skin file, switched on
// and off at run time. Off, the window has no style sheet and looks like any other desktop program.
class SkinEngine : public QObject {
    Q_OBJECT

public:
    // window is the widget the skin styles; it must outlive the engine or be deleted with it.
    explicit SkinEngine(QWidget* window, QObject* parent = nullptr);

    // The style sheet compiled into the program.
    static QString builtInSheet();

    // Reads a style sheet file (UTF-8 text) and uses it in place of the current sheet; when the
    // skin is on, the window takes it at once. Throws std::runtime_error naming the file and the
    // reason when the file cannot be opened or read or is not UTF-8 text; the sheet is then unchanged.
    void loadFromFile(const QString& path);

    // Switches the skin on (the window takes the sheet) or off (the window's sheet is cleared).
    void setActive(bool active);
    bool isActive() const { return m_active; }

    QString styleSheet() const { return m_sheet; }
    // The file the sheet came from; empty for the built-in sheet.
    QString skinFile() const { return m_file; }

signals:
    // A skin file replaced the sheet.
    void skinChanged();

private:
    void apply();

    QPointer<QWidget> m_window;
    QString m_sheet;
    QString m_file;
    bool m_active = false;
};
