#include "app/LedLamp.h"
#include "app/try1.h"
#include "shell/ContextMenu.h"
#include "skin/SkinEngine.h"

#include <QCoreApplication>

void TForm1::TntButton1Click() {
    // The running program's own path, so that registering again after a move writes the new one.
    // Keys that could not be deleted and entries that could not be updated are reported after the
    // lamp shows what the store holds.
    QString report;
    const bool registered = ToggleContextMenu(SkinData1->isActive(), QCoreApplication::applicationFilePath(), &report);
    JvLED1->setStatus(registered);
    if (!report.isEmpty())
        showError(report);
}
