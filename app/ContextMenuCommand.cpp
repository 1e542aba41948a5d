#include "app/LedLamp.h"
#include "app/try1.h"
#include "shell/ContextMenu.h"
#include "skin/SkinEngine.h"

#include <QCoreApplication>

void TForm1::TntButton1Click() {
    // The running program's own path, so that registering again after a move writes the new one.
    QString syncError;
    const bool registered =
        ToggleContextMenu(SkinData1->isActive(), QCoreApplication::applicationFilePath(), &syncError);
    JvLED1->setStatus(registered);
    if (!syncError.isEmpty())
        showError(syncError);
}
