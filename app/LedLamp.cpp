#include "app/LedLamp.h"

#include <QPainter>
#include <QRadialGradient>

LedLamp::LedLamp(QWidget* parent) : QWidget(parent) {
    setFixedSize(17, 17);
    setAttribute(Qt::WA_TranslucentBackground);
}

void LedLamp::setStatus(bool on) {
    if (on == m_status)
        return;
    m_status = on;
    update();
    emit statusChanged(on);
}

QColor LedLamp::color() const {
    return m_status ? QColor(0, 200, 0) : QColor(220, 0, 0);
}

void LedLamp::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(1, 1, -1, -1);
    QRadialGradient glow(face.center() - QPointF(2.5, 2.5), face.width() * 0.7);
    glow.setColorAt(0, color().lighter(170));
    glow.setColorAt(0.5, color());
    glow.setColorAt(1, color().darker(160));
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(glow);
    p.drawEllipse(face);
}
