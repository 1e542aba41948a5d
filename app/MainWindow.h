#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>

// The program's main window started with the given command-line arguments (without the program
// itself), as the program starts it. For the entry point and for tools that drive the window from
// outside, as a user would, finding its controls by their names (benchmarks).
std::unique_ptr<QMainWindow> createMainWindow(const QStringList& arguments);
