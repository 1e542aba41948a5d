#pragma once

#include "app/try1.h"
#include "support/gui/FakeDesktop.h"

#include <QStringList>
#include <memory>

// A window for a test: started with the given arguments, looking for a skin file in programFolder,
// with a FakeDesktop that collects its error reports in *errors instead of showing them.
template <class Form = TForm1>
std::unique_ptr<Form> makeTestForm(const QString& programFolder, QStringList* errors,
                                   const QStringList& arguments = {}) {
    StartupEnvironment env;
    env.arguments = arguments;
    env.programFolder = programFolder;
    auto desktop = std::make_unique<FakeDesktop>();
    desktop->errorSink = errors;
    env.desktop = std::move(desktop);
    return std::make_unique<Form>(std::move(env));
}

// The fake desktop of a window made by makeTestForm.
inline FakeDesktop& fakeDesktop(const TForm1& form) {
    return static_cast<FakeDesktop&>(form.desktop());
}
