#include "app/try1.h"
#include "commands/CommandUi.h"
#include "commands/FileManagerClient.h"
#include "commands/engine/FileDetails.h"
#include "platform/FileUri.h"

#include <QUrl>

void TForm1::OpenfolderinExplorerClick() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.isEmpty())
        return;
    // The topmost selected row in list order, whichever row has the focus.
    const QString path = ListView2->cellText(rows.first(), 0);
    const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    FileManagerClient().showItems({platform::fileUri(path)}, this, [this, folder] {
        guarded([this, folder] { commandUiOf(*this).openUrl(QUrl::fromEncoded(platform::fileUri(folder))); });
    });
}

void TForm1::Properties1Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.size() != 1) {
        commandUiOf(*this).showMessage(this, QStringLiteral("Select one file only!"));
        return;
    }
    const QString path = ListView2->cellText(rows.first(), 0);
    // A file that cannot be read shows nothing, as a file manager's own failure would.
    FileManagerClient().showItemProperties({platform::fileUri(path)}, this, [this, path] {
        guarded([this, path] {
            if (const std::optional<FileDetails> details = readFileDetails(path))
                commandUiOf(*this).showProperties(this, *details);
        });
    });
}
