#pragma once

#include "app/try1.h"

#include <QStringList>
#include <memory>

// A window for a test: started with the given arguments, looking for a skin file in programFolder,
// and collecting its error reports in *errors instead of showing them.
template <class Form = TForm1>
std::unique_ptr<Form> makeTestForm(const QString& programFolder, QStringList* errors,
                                   const QStringList& arguments = {}) {
    StartupEnvironment env;
    env.arguments = arguments;
    env.programFolder = programFolder;
    env.showError = [errors](const QString& message) { errors->append(message); };
    return std::make_unique<Form>(env);
}
