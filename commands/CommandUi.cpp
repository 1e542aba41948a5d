#include "commands/CommandUi.h"

#include "app/try1.h"
#include "commands/PropertiesDialog.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

void CommandUi::showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Trovex"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool CommandUi::confirm(QWidget* parent, const QString& caption, const QString& question) {
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

platform::ConflictAnswer CommandUi::askReplace(QWidget* parent, const QString& source, const QString& target) {
    const qsizetype targetSlash = target.lastIndexOf(QLatin1Char('/'));
    const QString text =
        QStringLiteral("The folder \"%1\" already holds a file named \"%2\".\n\nReplace it with \"%3\"?")
            .arg(target.left(targetSlash + 1), target.mid(targetSlash + 1), source);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Replace file"), text, QMessageBox::NoButton, parent);
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::RejectRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == replace)
        return platform::ConflictAnswer::Replace;
    return box.clickedButton() == skip ? platform::ConflictAnswer::Skip : platform::ConflictAnswer::Cancel;
}

QString CommandUi::saveCsvFileName(QWidget* parent, const QString& name) {
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

void CommandUi::showProperties(QWidget* parent, const FileDetails& details) {
    auto* dialog = new PropertiesDialog(details, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void CommandUi::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

CommandUi& commandUiOf(const TForm1& form) {
    static CommandUi real;
    return form.commandUi ? *form.commandUi : real;
}
