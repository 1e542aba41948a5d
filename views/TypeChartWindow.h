#pragma once

#include "records/TypeTotal.h"

#include <QWidget>
#include <functional>

class QPushButton;
class TypeChartView;

// The window of the type chart: the chart (TypeChartView), a "Bars" toggle between the treemap and
// the bars, and "Save picture…". It is a window of its own even with a parent, not modal, opened
// over its parent's window; it closes when its parent's window closes, and with Escape or Ctrl+W.
class TypeChartWindow : public QWidget {
    Q_OBJECT

public:
    explicit TypeChartWindow(QWidget* parent = nullptr);

    // Shows the types of a new summary (in the summary's order); an empty list shows "No files".
    void setTypes(const QList<TypeTotal>& types);

    TypeChartView* chart() const { return m_chart; }
    QPushButton* barsButton() const { return m_bars; }
    QPushButton* saveButton() const { return m_save; }

    // "Save picture…": asks for a file and writes the chart there as PNG or SVG.
    void savePicture();

    // Asks where to save the picture: a path ending in ".png" or ".svg", or an empty text when the
    // user cancels. Tests answer it in place of the file dialog.
    std::function<QString()> saveDialog;
    // Reports a failed save; tests observe it in place of the message box.
    std::function<void(const QString& message)> showError;

signals:
    // A double click on a type in the chart; the main window lists its files.
    void typeActivated(const QString& type);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString askForFile();

    TypeChartView* m_chart = nullptr;
    QPushButton* m_bars = nullptr;
    QPushButton* m_save = nullptr;
    QString m_lastPath;
    bool m_placed = false;
};
