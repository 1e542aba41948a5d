#include "commands/Desktop.h"

#include "commands/ErrorReport.h"
#include "commands/FileManagerClient.h"
#include "commands/PropertiesDialog.h"
#include "platform/FileName.h"
#include "platform/FileUri.h"
#include "platform/FileDetails.h"
#include "text/FileHelpers.h"
#include "text/FileTypeName.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <stdexcept>

namespace {

// The question before opening a hidden or system file. Escape answers No; closing it by its close
// box is no answer, and only No keeps the file closed.
class OpenWarningBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByBox() const { return m_closedByBox; }

protected:
    void closeEvent(QCloseEvent* event) override {
        m_closedByBox = clickedButton() == nullptr;
        QMessageBox::closeEvent(event);
    }

private:
    bool m_closedByBox = false;
};

} // namespace

void Desktop::showError(QWidget* parent, const QString& message) {
    showErrorReport(parent, message);
}

void Desktop::showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Trovex"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool Desktop::confirm(QWidget* parent, const QString& caption, const QString& question) {
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

bool Desktop::confirmOpen(QWidget* parent, const QString& text) {
    OpenWarningBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::No,
                       parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    const int answer = box.exec();
    return box.closedByBox() || answer != QMessageBox::No;
}

platform::ConflictAnswer Desktop::askReplace(QWidget* parent, const QString& source, const QString& target) {
    const QString text =
        QStringLiteral("The folder \"%1\" already holds a file named \"%2\".\n\nReplace it with \"%3\"?")
            .arg(ExtractFilePath(target), ExtractFileName(target), source);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Replace file"), text, QMessageBox::NoButton, parent);
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::AcceptRole);
    QPushButton* replaceAll = box.addButton(QStringLiteral("Replace &all"), QMessageBox::YesRole);
    QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::RejectRole);
    QPushButton* skipAll = box.addButton(QStringLiteral("S&kip all"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == replace)
        return platform::ConflictAnswer::Replace;
    if (clicked == replaceAll)
        return platform::ConflictAnswer::ReplaceAll;
    if (clicked == skip)
        return platform::ConflictAnswer::Skip;
    return clicked == skipAll ? platform::ConflictAnswer::SkipAll : platform::ConflictAnswer::Cancel;
}

QString Desktop::chooseFolder(QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Select source folder"), QString(),
                                             QFileDialog::ShowDirsOnly);
}

QString Desktop::saveCsvFileName(QWidget* parent, const QString& name) {
    QFileDialog dialog(parent, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilter(QStringLiteral("CSV Files (*.csv)"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void Desktop::showProperties(QWidget* parent, const FileDetails& details) {
    auto* dialog = new PropertiesDialog(details, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void Desktop::openFile(const QByteArray& path) {
    openUrl(QUrl::fromEncoded(platform::fileUri(path)));
}

void Desktop::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void Desktop::showInFileManager(QWidget* parent, const QByteArray& path) {
    const QByteArray folder = path.left(path.lastIndexOf('/') + 1);
    const QPointer<QWidget> owner(parent);
    FileManagerClient().showItems({platform::fileUri(path)}, parent, [this, owner, folder] {
        // Called from the event loop: nothing may escape into Qt.
        try {
            openUrl(QUrl::fromEncoded(platform::fileUri(folder)));
        } catch (const std::exception& e) {
            showError(owner, QString::fromUtf8(e.what()));
        }
    });
}

void Desktop::showFileProperties(QWidget* parent, const QByteArray& path) {
    const QPointer<QWidget> owner(parent);
    FileManagerClient().showItemProperties({platform::fileUri(path)}, parent, [this, owner, path] {
        try {
            if (const std::optional<FileDetails> details = readFileDetails(platform::decodeFileName(path)))
                showProperties(owner, *details);
        } catch (const std::exception& e) {
            showError(owner, QString::fromUtf8(e.what()));
        }
    });
}

void Desktop::setClipboard(QMimeData* data) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        delete data;
        throw std::runtime_error("Cannot open clipboard");
    }
    clipboard->setMimeData(data);
}

QString Desktop::typeName(const QString& typeText) {
    return FileTypeName(typeText);
}
