#include "skin/SkinEngine.h"

#include <QFile>
#include <QStringDecoder>
#include <QWidget>

#include <stdexcept>

namespace {

// A calm slate-and-teal theme. Every rule is scoped to widget classes so the lamp and the splitter
// button keep painting themselves; the combo, date and number fields keep their native frames,
// since a styled frame makes Qt draw their arrows and buttons in a bare fallback look.
const char builtInStyle[] = R"(
QMainWindow, QMainWindow > QWidget { background: #dfe6ea; }
QFrame#Panel8 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fafb, stop:1 #d3dde2);
                border-bottom: 1px solid #9fb3bd; color: #006f6f; }
QFrame#Panel6, QFrame#Panel1, QFrame#Panel3 { background: #eef2f4; border: 1px solid #9fb3bd; border-radius: 4px; }
QFrame#Panel4, QFrame#Panel2, QFrame#TntPanel1 { background: transparent; border: none; }
QLabel { color: #1f3440; background: transparent; }
QCheckBox { color: #1f3440; spacing: 5px; background: transparent; }
QCheckBox:disabled, QLabel:disabled { color: #8a9aa3; }
QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid #6f8894; border-radius: 2px; background: #ffffff; }
QCheckBox::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5,
                                                           stop:0 #2a8c8c, stop:0.6 #2a8c8c, stop:0.7 #ffffff); }
QCheckBox::indicator:disabled { background: #e4e9ec; border-color: #b8c6cd; }
QLineEdit { background: #ffffff; border: 1px solid #8fa6b2; border-radius: 3px; padding: 1px 3px;
            selection-background-color: #2a8c8c; }
QLineEdit:disabled { background: #e4e9ec; color: #8a9aa3; border-color: #b8c6cd; }
QLineEdit:focus { border-color: #2a8c8c; }
QComboBox, QDateTimeEdit, QDoubleSpinBox { selection-background-color: #2a8c8c; }
QPushButton { color: #ffffff; border: 1px solid #1d6363; border-radius: 4px; padding: 1px 4px;
              background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3aa3a3, stop:1 #237878); }
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #48b3b3, stop:1 #2a8686); }
QPushButton:pressed { background: #1d6363; }
QPushButton:focus { border-color: #0d3b3b; }
QTreeView { background: #ffffff; alternate-background-color: #f3f7f8; border: 1px solid #8fa6b2;
            selection-background-color: #2a8c8c; selection-color: #ffffff; }
QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f7f8, stop:1 #d9e2e6);
                       color: #1f3440; border: none; border-right: 1px solid #b3c3cb;
                       border-bottom: 1px solid #9fb3bd; padding: 3px 5px; }
QStatusBar { background: #d3dde2; color: #1f3440; border-top: 1px solid #9fb3bd; }
QMenu { background: #ffffff; border: 1px solid #8fa6b2; }
QMenu::item { padding: 4px 24px 4px 20px; color: #1f3440; }
QMenu::item:selected { background: #2a8c8c; color: #ffffff; }
QMenu::separator { height: 1px; background: #c5d2d8; margin: 3px 6px; }
)";

} // namespace

SkinEngine::SkinEngine(QWidget* window, QObject* parent) : QObject(parent), m_window(window), m_sheet(builtInSheet()) {}

QString SkinEngine::builtInSheet() {
    return QString::fromUtf8(builtInStyle);
}

void SkinEngine::loadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot open skin file \"%1\": %2").arg(path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("Cannot read skin file \"%1\": %2").arg(path, file.errorString()).toStdString());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder(bytes);
    if (decoder.hasError())
        throw std::runtime_error(QStringLiteral("Skin file \"%1\" is not UTF-8 text").arg(path).toStdString());

    m_sheet = sheet;
    m_file = path;
    apply();
    emit skinChanged();
}

void SkinEngine::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    apply();
}

void SkinEngine::apply() {
    if (m_window)
        m_window->setStyleSheet(m_active ? m_sheet : QString());
}
