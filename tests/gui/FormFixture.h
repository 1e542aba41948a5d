#pragma once

#include "TestForms.h"
#include "app/try1.h"
#include "support/TempTree.h"

#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A window over a generated tree in a temporary folder: no skin file, errors collected instead of
// shown, and the walk pumping at every entry so tests can act at an exact point of a run.
class FormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        tree.makeDir("program");
        form = makeTestForm(tree.root() + QStringLiteral("/program"), &errors);
        form->pumpInterval = std::chrono::nanoseconds(0);
        form->RootDir->setText(root());
    }

    // The folder the tests search: the tree without the program folder.
    QString root() const { return tree.root() + QStringLiteral("/data"); }
    void file(const std::string& rel, const QByteArray& bytes = {}, qint64 mtime = -1) {
        tree.makeFile("data/" + rel, bytes, mtime);
    }

    // Runs action at the n-th pump of the next run (1 = the first), from inside that pump.
    void atPump(int n, std::function<void()> action) {
        auto counter = std::make_shared<int>(0);
        auto* timer = new QTimer(form.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, form.get(), [counter, n, action, timer] {
            if (++*counter == n) {
                timer->stop();
                timer->deleteLater();
                action();
            }
        });
        timer->start();
    }

    QStringList column(TSortListView* list, int col) const {
        QStringList out;
        for (int r = 0; r < list->rowCount(); ++r)
            out.append(list->cellText(r, col));
        return out;
    }
    QStringList rows(TSortListView* list) const {
        QStringList out;
        for (int r = 0; r < list->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list->model()->columnCount(); ++c)
                cells.append(list->cellText(r, c));
            out.append(cells.join(QLatin1Char('|')));
        }
        return out;
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
    QStringList errors;
    std::unique_ptr<TForm1> form;
};
