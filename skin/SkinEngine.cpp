#include "skin/SkinEngine.h"

#include "platform/FileName.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QWidget>
#include <sys/stat.h>

#include <stdexcept>

namespace {

// "Slate and teal": a dark title band and list headers, card-like panels on a cool grey ground,
// teal for everything the user acts on. Rules are scoped to widget classes and names, so the lamp
// and other self-painted widgets keep their own look; the arrows and the check mark are pictures
// of the program's resources, since a styled frame takes the native ones away.
const char builtInStyle[] = R"(
QMainWindow, QMainWindow > QWidget { background: #d5dfe4; }
QLabel#Panel8 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1b3642, stop:0.6 #24505c, stop:1 #2a8086);
                color: #ffffff; border-bottom: 2px solid #38a8a8; font-weight: bold; }
QFrame#Panel6, QFrame#Panel1, QFrame#Panel3 { background: #f3f6f7; border: 1px solid #a9bcc5; border-radius: 6px; }
QFrame#Panel5 { background: transparent; }
QFrame#Panel4, QFrame#Panel2, QFrame#TntPanel1 { background: transparent; border: none; }
QLabel { color: #1f3440; background: transparent; }
QLabel#CountLabel, QLabel#FileCount { color: #17706f; font-weight: bold; }
QLabel#TntLabel4 { color: #17706f; font-style: italic; }

QCheckBox { color: #1f3440; spacing: 6px; background: transparent; }
QCheckBox:disabled, QLabel:disabled { color: #8fa0a8; }
QCheckBox::indicator { width: 13px; height: 13px; border: 1px solid #5f7d8a; border-radius: 3px; background: #ffffff; }
QCheckBox::indicator:hover { border-color: #1f8a8a; }
QCheckBox::indicator:checked { background: #1f8a8a; border-color: #17706f; image: url(:/skin/check.png); }
QCheckBox::indicator:disabled { background: #e6ecef; border-color: #bccbd2; }
QCheckBox::indicator:checked:disabled { background: #a3c4c4; border-color: #a3c4c4; }

QLineEdit, QComboBox, QDateTimeEdit, QDoubleSpinBox {
    background: #ffffff; color: #1f3440; border: 1px solid #8fa6b2; border-radius: 3px; padding: 1px 1px 1px 3px;
    selection-background-color: #1f8a8a; selection-color: #ffffff; }
QLineEdit:focus, QComboBox:focus, QDateTimeEdit:focus, QDoubleSpinBox:focus { border-color: #1f8a8a; }
QLineEdit:disabled, QComboBox:disabled, QDateTimeEdit:disabled, QDoubleSpinBox:disabled {
    background: #e6ecef; color: #8fa0a8; border-color: #bccbd2; }
QComboBox::drop-down, QDateTimeEdit::drop-down { subcontrol-origin: padding; subcontrol-position: center right;
    width: 15px; border-left: 1px solid #c3d0d6; background: #e9eff2; border-top-right-radius: 3px;
    border-bottom-right-radius: 3px; }
QComboBox::down-arrow, QDateTimeEdit::down-arrow, QDoubleSpinBox::down-arrow { image: url(:/skin/arrow-down.png); }
QDoubleSpinBox::up-arrow { image: url(:/skin/arrow-up.png); }
QComboBox::down-arrow:disabled, QDateTimeEdit::down-arrow:disabled, QDoubleSpinBox::down-arrow:disabled {
    image: url(:/skin/arrow-down-disabled.png); }
QDoubleSpinBox::up-arrow:disabled { image: url(:/skin/arrow-up-disabled.png); }
QDoubleSpinBox::up-button, QDoubleSpinBox::down-button { subcontrol-origin: border; width: 15px;
    border-left: 1px solid #c3d0d6; background: #e9eff2; }
QDoubleSpinBox::up-button { subcontrol-position: top right; border-top-right-radius: 3px; }
QDoubleSpinBox::down-button { subcontrol-position: bottom right; border-bottom-right-radius: 3px; }
QDateTimeEdit::up-button, QDateTimeEdit::down-button { width: 0; border: none; }
QComboBox QAbstractItemView { background: #ffffff; border: 1px solid #8fa6b2; selection-background-color: #1f8a8a;
    selection-color: #ffffff; }

QPushButton { color: #ffffff; font-weight: bold; border: 1px solid #17606a; border-radius: 4px; padding: 1px 6px;
              background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3fb0ae, stop:1 #1f7f86); }
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4cc0bd, stop:1 #238c92); }
QPushButton:pressed { background: #1b6b72; }
QPushButton:focus { border: 1px solid #0c3a40; }
QPushButton:disabled { background: #a9bcc5; border-color: #98aab3; color: #eef2f4; }
QPushButton#TntButton1 { font-weight: normal; padding: 0 2px; }

QTableView { background: #ffffff; color: #1f3440; border: 1px solid #a9bcc5; border-radius: 3px;
            selection-background-color: #1f8a8a; selection-color: #ffffff; }
QTableView::item { padding: 1px 0; }
QTableView::item:hover { background: #e1f0f0; }
QTableView::item:selected { background: #1f8a8a; color: #ffffff; }
QHeaderView { background: #2c4c5a; }
QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3f6676, stop:1 #2c4c5a);
                       color: #ffffff; border: none; border-right: 1px solid #223d48; padding: 3px 6px; }
QHeaderView::section:hover { background: #4a7686; }

QScrollBar:vertical { background: #eef2f4; width: 12px; margin: 0; border: none; }
QScrollBar:horizontal { background: #eef2f4; height: 12px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: #a9bcc5; border-radius: 4px; min-height: 24px; margin: 2px; }
QScrollBar::handle:horizontal { background: #a9bcc5; border-radius: 4px; min-width: 24px; margin: 2px; }
QScrollBar::handle:hover { background: #1f8a8a; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QSplitter::handle { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #d5dfe4, stop:0.5 #bfcdd4, stop:1 #d5dfe4); }
QToolButton#collapseButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3fb0ae, stop:1 #1f7f86);
                             border: 1px solid #17606a; border-radius: 3px; }
QToolButton#collapseButton:hover { background: #4cc0bd; }
QToolButton#collapseButton::down-arrow { image: url(:/skin/arrow-down-light.png); }
QToolButton#collapseButton::up-arrow { image: url(:/skin/arrow-up-light.png); }

QStatusBar, QMainWindow > QStatusBar { background: #24404d; color: #e3eef1; border-top: 1px solid #38a8a8; }
QStatusBar QLabel { color: #e3eef1; }

QMenu { background: #ffffff; color: #1f3440; border: 1px solid #8fa6b2; padding: 3px 0; }
QMenu::item { padding: 4px 24px 4px 20px; }
QMenu::item:selected { background: #1f8a8a; color: #ffffff; }
QMenu::item:disabled { color: #a3b3bb; }
QMenu::separator { height: 1px; background: #c5d2d8; margin: 3px 8px; }
QMessageBox, QDialog { background: #f3f6f7; }
)";

} // namespace

// The pictures the built-in sheet names live in the program's resources, which a static library
// must register itself.
static void initSkinResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(trovex);
        return true;
    }();
    Q_UNUSED(done);
}

SkinEngine::SkinEngine(QWidget* window, QObject* parent) : QObject(parent), m_window(window), m_sheet(builtInSheet()) {
    initSkinResources();
}

QString SkinEngine::builtInSheet() {
    return QString::fromUtf8(builtInStyle);
}

QString SkinEngine::withoutUnsafeImages(const QString& sheet) {
    // Qt opens a sheet's images with a blocking open when it first paints: a url() naming a FIFO
    // or a device would hang the window for good. Only regular files (and resources) stay.
    static const QRegularExpression url(QStringLiteral(R"re(url\(\s*(?:"([^"]*)"|'([^']*)'|([^)]*?))\s*\))re"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype done = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString target = m.captured(1) + m.captured(2) + m.captured(3);
        if (target.startsWith(QLatin1String("file:")))
            target = QUrl(target).toLocalFile();
        const bool resource = target.startsWith(QLatin1Char(':')) || target.startsWith(QLatin1String("qrc:"));
        struct stat st;
        const bool unsafe = !resource && !target.isEmpty() &&
                            ::stat(platform::encodeFileName(target).constData(), &st) == 0 && !S_ISREG(st.st_mode);
        if (!unsafe)
            continue;
        out += QStringView(sheet).mid(done, m.capturedStart() - done);
        out += QStringLiteral("url(:/skin/refused)");
        done = m.capturedEnd();
    }
    out += QStringView(sheet).mid(done);
    return out;
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

    m_sheet = withoutUnsafeImages(sheet);
    m_file = path;
    apply();
    emit skinChanged();
}

void SkinEngine::setActive(bool active) {
    if (active == m_active)
        return;
    // Whatever the window looked like before comes back when the skin goes off.
    if (active)
        saveLook();
    m_active = active;
    if (active) {
        apply();
        return;
    }
    // Back to no sheet at all first, with every font and palette as it was, so that the window's
    // own sheet (if it had one) is put on just as it was the first time.
    if (m_window)
        m_window->setStyleSheet(QString());
    restoreLook();
    apply();
}

void SkinEngine::saveLook() {
    m_saved.clear();
    if (!m_window)
        return;
    m_previousSheet = m_window->styleSheet();
    QList<QWidget*> widgets = m_window->findChildren<QWidget*>();
    widgets.prepend(m_window);
    for (QWidget* w : widgets)
        m_saved.push_back(
            {w, w->testAttribute(Qt::WA_SetFont), w->font(), w->testAttribute(Qt::WA_SetPalette), w->palette()});
}

// Taking a style sheet away leaves the fonts and palettes it set behind as if they were the
// widgets' own, so the widgets that inherited theirs inherit again and the others get theirs back.
void SkinEngine::restoreLook() {
    for (const SavedLook& saved : m_saved) {
        if (!saved.widget)
            continue;
        saved.widget->setFont(saved.ownFont ? saved.font : QFont());
        saved.widget->setPalette(saved.ownPalette ? saved.palette : QPalette());
    }
    m_saved.clear();
}

void SkinEngine::apply() {
    if (m_window)
        m_window->setStyleSheet(m_active ? m_sheet : m_previousSheet);
}
