#include "app/MainWindow.h"

#include "app/try1.h"

std::unique_ptr<QMainWindow> createMainWindow(const QStringList& arguments) {
    return std::make_unique<TForm1>(arguments);
}
