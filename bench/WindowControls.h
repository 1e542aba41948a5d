#pragma once

#include "views/SortListViews.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>

// The main window's controls that the benchmarks drive, found by their names as a user finds them
// by their captions: the benchmarks measure the window from outside.
struct WindowControls {
    explicit WindowControls(QMainWindow& w)
        : window(w), RootDir(find<QLineEdit>("RootDir")), Button1(find<QPushButton>("Button1")),
          SingleFile(find<QCheckBox>("SingleFile")), FileType(find<QLineEdit>("FileType")),
          ListView1(find<TSortListView>("ListView1")), ListView2(find<TSortListView>("ListView2")) {}

    void show() { window.show(); }

    QMainWindow& window;
    QLineEdit* RootDir;
    QPushButton* Button1;
    QCheckBox* SingleFile;
    QLineEdit* FileType;
    TSortListView* ListView1;
    TSortListView* ListView2;

private:
    template <class W> W* find(const char* name) {
        W* widget = window.findChild<W*>(QString::fromLatin1(name));
        Q_ASSERT(widget);
        return widget;
    }
};
