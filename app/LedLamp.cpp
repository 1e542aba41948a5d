#include "app/LedLamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QRadialGradient>

namespace {

class LedLampAccessible final : public QAccessibleWidget {
public:
    explicit LedLampAccessible(LedLamp* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value)
            return static_cast<const LedLamp*>(widget())->statusText();
        return QAccessibleWidget::text(type);
    }
    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        st.checkable = true;
        st.checked = static_cast<const LedLamp*>(widget())->Status();
        return st;
    }
};

QAccessibleInterface* lampFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("LedLamp") && object && object->isWidgetType())
        return new LedLampAccessible(static_cast<LedLamp*>(object));
    return nullptr;
}

} // namespace

LedLamp::LedLamp(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(lampFactory);
        return true;
    }();
    (void)installed;
    setFixedSize(17, 17);
    setAttribute(Qt::WA_TranslucentBackground);
}

QString LedLamp::statusText() const {
    return m_status ? QStringLiteral("registered") : QStringLiteral("not registered");
}

void LedLamp::setStatus(bool on) {
    if (on == m_status)
        return;
    m_status = on;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, statusText());
        QAccessible::updateAccessibility(&changed);
    }
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
