#include "views/TypeChartWindow.h"

#include "views/TypeChartPicture.h"
#include "views/TypeChartView.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TypeChartWindow::TypeChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(u("TypeChartWindow"));
    setWindowTitle(u("File type chart"));
    resize(720, 480);

    m_chart = new TypeChartView(this);
    m_chart->setObjectName(u("TypeChart"));
    m_bars = new QPushButton(u("Bars"), this);
    m_bars->setObjectName(u("BarsButton"));
    m_bars->setCheckable(true);
    m_save = new QPushButton(u("Save picture…"), this);
    m_save->setObjectName(u("SavePictureButton"));
    m_save->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_bars);
    buttons->addStretch();
    buttons->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_chart, 1);

    connect(m_bars, &QPushButton::toggled, this,
            [this](bool on) { m_chart->setMode(on ? TypeChartView::Mode::Bars : TypeChartView::Mode::Tiles); });
    connect(m_chart, &TypeChartView::modeChanged, this,
            [this](TypeChartView::Mode mode) { m_bars->setChecked(mode == TypeChartView::Mode::Bars); });
    connect(m_save, &QPushButton::clicked, this, &TypeChartWindow::savePicture);
    connect(m_chart, &TypeChartView::typeActivated, this, &TypeChartWindow::typeActivated);

    // A window of its own is not hidden with its parent; follow the parent's window instead.
    if (parent)
        parent->window()->installEventFilter(this);

    // Closed as any window of its kind; the keys never reach the main window.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

void TypeChartWindow::showEvent(QShowEvent* event) {
    // Opened over the main window, where the user looks, the first time it shows.
    if (!m_placed && parentWidget()) {
        m_placed = true;
        move(parentWidget()->window()->frameGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TypeChartWindow::setTypes(const QList<TypeTotal>& types) {
    m_chart->setTypes(types);
    m_save->setEnabled(!types.isEmpty());
}

void TypeChartWindow::savePicture() {
    const QString path = saveDialog ? saveDialog() : askForFile();
    if (path.isEmpty())
        return;
    QString error;
    if (saveChartPicture(*m_chart, path, &error))
        return;
    const QString message = u("Cannot save the picture: ") + error;
    if (showError)
        showError(message);
    else
        QMessageBox::warning(this, u("Trovex"), message);
}

bool TypeChartWindow::eventFilter(QObject* watched, QEvent* event) {
    // A spontaneous hide is the window being minimised, not closed.
    if (event->type() == QEvent::Hide && !event->spontaneous() && parentWidget() && watched == parentWidget()->window())
        close();
    return QWidget::eventFilter(watched, event);
}

QString TypeChartWindow::askForFile() {
    const QString png = u("PNG picture (*.png)");
    const QString svg = u("SVG picture (*.svg)");
    QString filter = png;
    const QString start = m_lastPath.isEmpty() ? QDir::home().filePath(u("file types.png")) : m_lastPath;
    QString path = QFileDialog::getSaveFileName(this, u("Save picture"), start, png + u(";;") + svg, &filter);
    if (path.isEmpty())
        return path;
    // A name without either ending gets the chosen filter's, so it is written as what it says.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != u("png") && suffix != u("svg"))
        path += filter == svg ? u(".svg") : u(".png");
    m_lastPath = path;
    return path;
}
