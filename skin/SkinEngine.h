#pragma once

#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <vector>

class QWidget;

// The skin of the main window: a Qt style sheet, built in or read from a skin file, switched on
// and off at run time. Off, the window has the style sheet it had before (normally none) and looks
// exactly as it did before the skin went on.
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

    // Switches the skin on (the window takes the sheet) or off (the window gets back the sheet it
    // had when the skin went on).
    void setActive(bool active);
    bool isActive() const { return m_active; }

    QString styleSheet() const { return m_sheet; }

    // The sheet with every url() that names something other than a regular file or a resource
    // (a FIFO, a device, a folder) pointed at a resource that does not exist, so it shows nothing.
    static QString withoutUnsafeImages(const QString& sheet);
    // The file the sheet came from; empty for the built-in sheet.
    QString skinFile() const { return m_file; }

signals:
    // A skin file replaced the sheet.
    void skinChanged();

private:
    // What each widget of the window had before the skin went on.
    struct SavedLook {
        QPointer<QWidget> widget;
        bool ownFont;
        QFont font;
        bool ownPalette;
        QPalette palette;
    };

    void apply();
    void saveLook();
    void restoreLook();

    QPointer<QWidget> m_window;
    QString m_sheet;
    QString m_file;
    QString m_previousSheet;
    std::vector<SavedLook> m_saved;
    bool m_active = false;
};
