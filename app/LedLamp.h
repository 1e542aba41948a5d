#pragma once

#include <QWidget>

// A round signal lamp, 17 x 17 px: green while Status is on, red while it is off. A screen reader
// hears its accessible name and, as its value, "registered" or "not registered": what the colours say.
class LedLamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Status READ Status WRITE setStatus NOTIFY statusChanged)

public:
    explicit LedLamp(QWidget* parent = nullptr);

    bool Status() const { return m_status; }
    void setStatus(bool on);

    // The colour of the lamp's face for the current status.
    QColor color() const;
    // What the lamp says in words.
    QString statusText() const;

    QSize sizeHint() const override { return {17, 17}; }

signals:
    void statusChanged(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_status = false;
};
