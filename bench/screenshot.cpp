// Screenshots of the program as it is built: the window summarising a folder (the picture the
// AppStream metadata shows) or, with --chart, the chart of that summary, opened through the type
// list's "Show chart" item (with --bars, switched to its bars). --dark sets a dark palette on the
// application, as a dark desktop theme does. Drawn offscreen unless QT_QPA_PLATFORM names another
// platform (QT_QPA_PLATFORM=xcb under xvfb-run). WIDTH and HEIGHT size the window drawn. --list
// lists the first type's files and selects three of them; --menu lists them too, selects four by a
// click and a Shift+click, right-clicks the third and draws the screen with the file list's menu
// open (so it needs a real display: QT_QPA_PLATFORM=xcb under xvfb-run); --duplicates searches the
// first type's files for duplicates and draws that window; --skin turns the skin on.
//
// Usage: screenshot [--chart] [--bars] [--dark] [--list] [--menu] [--duplicates] [--skin] ROOT OUT.png [WIDTH HEIGHT]

#include "WindowControls.h"
#include "app/DuplicatesWindow.h"
#include "app/MainWindow.h"
#include "views/TypeChartWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QThread>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

QPalette darkPalette() {
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), button(0x38, 0x38, 0x3c);
    const QColor text(0xe8, 0xe8, 0xe8), muted(0x84, 0x84, 0x88);
    QPalette p(button, window);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, muted);
    p.setColor(QPalette::Highlight, QColor(0x35, 0x74, 0xc8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x7a, 0xaa, 0xf0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, muted);
    return p;
}

// Processes events until done() holds; false when it still does not after timeoutMs.
bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int usage(const char* program) {
    std::fprintf(
        stderr,
        "usage: %s [--chart] [--bars] [--dark] [--list] [--menu] [--duplicates] [--skin] ROOT OUT.png [WIDTH HEIGHT]\n",
        program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool chart = false, bars = false, dark = false, list = false, menu = false, skin = false, duplicates = false;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--chart") == 0)
            chart = true;
        else if (std::strcmp(argv[i], "--bars") == 0)
            chart = bars = true;
        else if (std::strcmp(argv[i], "--dark") == 0)
            dark = true;
        else if (std::strcmp(argv[i], "--list") == 0)
            list = true;
        else if (std::strcmp(argv[i], "--menu") == 0)
            list = menu = true;
        else if (std::strcmp(argv[i], "--duplicates") == 0)
            duplicates = list = true;
        else if (std::strcmp(argv[i], "--skin") == 0)
            skin = true;
        else
            args.push_back(argv[i]);
    }
    if (args.size() != 2 && args.size() != 4)
        return usage(argv[0]);
    const int width = args.size() == 4 ? std::atoi(args[2]) : 1000;
    const int height = args.size() == 4 ? std::atoi(args[3]) : 700;
    if (width <= 0 || height <= 0)
        return usage(argv[0]);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Trovex"));
    if (dark) {
        // Fusion paints every control from the palette, whatever style the platform would choose.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    const std::unique_ptr<QMainWindow> window = createMainWindow({QString::fromLocal8Bit(args[0])});
    WindowControls controls(*window);
    window->resize(width, height);
    controls.show();
    QApplication::processEvents();
    const QString idle = controls.Button1->text();
    controls.Button1->click(); // the summary runs inside the click, as GO does
    if (!waitFor([&] { return controls.Button1->text() == idle; }, 600000)) {
        std::fprintf(stderr, "screenshot: the summary did not finish\n");
        return 1;
    }
    QApplication::processEvents();
    if (skin)
        window->findChild<QCheckBox*>(QStringLiteral("skinbox"))->click();
    if (list) {
        // The first type's files, as its double click lists them, with every other of the first
        // rows selected.
        TSortListView* types = controls.ListView1;
        types->setCurrentIndex(types->model()->index(0, 0));
        emit types->doubleClicked(types->model()->index(0, 0));
        TSortListView* files = controls.ListView2;
        if (!menu) {
            for (int r = 0; r < std::min(files->rowCount(), 6); r += 2)
                files->selectionModel()->select(files->model()->index(r, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QApplication::processEvents();
    }
    if (menu) {
        // As a person does it: a click, a Shift+click, then a right click in the selection.
        TSortListView* files = controls.ListView2;
        QWidget* viewport = files->viewport();
        const auto at = [files](int row) { return files->visualRect(files->model()->index(row, 0)).center(); };
        const auto click = [viewport](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button,
                                  type == QEvent::MouseButtonPress ? button : Qt::NoButton, modifiers);
                QApplication::sendEvent(viewport, &event);
            }
        };
        click(Qt::LeftButton, Qt::NoModifier, at(0));
        click(Qt::LeftButton, Qt::ShiftModifier, at(3));
        click(Qt::RightButton, Qt::NoModifier, at(2));
        QContextMenuEvent asked(QContextMenuEvent::Mouse, at(2), viewport->mapToGlobal(at(2)));
        QApplication::sendEvent(viewport, &asked);
        auto* popup = window->findChild<QMenu*>(QStringLiteral("PopupMenu1"));
        if (!popup || !waitFor([popup] { return popup->isVisible(); }, 10000)) {
            std::fprintf(stderr, "screenshot: the file list's menu did not open\n");
            return 1;
        }
        waitFor([] { return false; }, 300); // the menu is drawn
        const QRect area = window->frameGeometry().united(popup->geometry());
        if (!window->screen()
                 ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                 .save(QString::fromLocal8Bit(args[1]), "PNG")) {
            std::fprintf(stderr, "screenshot: cannot write %s\n", args[1]);
            return 1;
        }
        std::printf("selected rows: %d\n", int(files->selectedRows().size()));
        return 0;
    }

    QWidget* picture = window.get();
    if (duplicates) {
        // Every listed file through "Find duplicates among selected files", once the search ended.
        controls.ListView2->selectAll();
        auto* find = window->findChild<QAction*>(QStringLiteral("FindDuplicates1"));
        if (!find) {
            std::fprintf(stderr, "screenshot: the file list's menu has no \"Find duplicates\"\n");
            return 1;
        }
        find->trigger();
        auto* found = window->findChild<DuplicatesWindow*>(QStringLiteral("DuplicatesWindow"));
        if (!found || !waitFor([found] { return !found->isSearching(); }, 600000)) {
            std::fprintf(stderr, "screenshot: the duplicate search did not end\n");
            return 1;
        }
        found->resize(width, height);
        QApplication::processEvents();
        picture = found;
    }
    if (chart) {
        auto* menu = window->findChild<QMenu*>(QStringLiteral("PopupMenu2"));
        QAction* showChart = nullptr;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
            if (action->objectName() == QStringLiteral("ShowChart1"))
                showChart = action;
        if (!showChart) {
            std::fprintf(stderr, "screenshot: the type list's menu has no \"Show chart\"\n");
            return 1;
        }
        showChart->trigger();
        auto* chartWindow = window->findChild<TypeChartWindow*>(QStringLiteral("ChartWindow"));
        if (!chartWindow) {
            std::fprintf(stderr, "screenshot: \"Show chart\" opened no chart window\n");
            return 1;
        }
        chartWindow->resize(width, height);
        if (bars)
            chartWindow->barsButton()->click();
        // The window system shows and sizes the window in its own time; the tiles are laid out
        // for the size it gives.
        if (!waitFor(
                [&] {
                    return chartWindow->windowHandle() && chartWindow->windowHandle()->isExposed() &&
                           chartWindow->size() == QSize(width, height);
                },
                10000)) {
            std::fprintf(stderr, "screenshot: the chart window was not shown at %dx%d\n", width, height);
            return 1;
        }
        QApplication::processEvents();
        picture = chartWindow;
    }
    if (!picture->grab().save(QString::fromLocal8Bit(args[1]), "PNG")) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", args[1]);
        return 1;
    }
    return 0;
}
