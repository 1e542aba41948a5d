#include "commands/PropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

PropertiesDialog::PropertiesDialog(const FileDetails& details, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PropertiesDialog"));
    setWindowTitle(details.name + QStringLiteral(" Properties"));

    auto* form = new QFormLayout;
    auto addRow = [this, form](const QString& objectName, const QString& caption, const QString& text) {
        auto* value = new QLabel(text, this);
        value->setObjectName(objectName);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        form->addRow(caption, value);
    };
    addRow(QStringLiteral("name"), QStringLiteral("Name:"), details.name);
    addRow(QStringLiteral("folder"), QStringLiteral("Folder:"), details.folder);
    addRow(QStringLiteral("type"), QStringLiteral("Type:"), details.typeName);
    addRow(QStringLiteral("size"), QStringLiteral("Size:"),
           details.sizeText.isEmpty() // not read
               ? QString()
               : QStringLiteral("%1 (%2 bytes)").arg(details.sizeText, QLocale::system().toString(details.size)));
    addRow(QStringLiteral("created"), QStringLiteral("Created:"), details.created);
    addRow(QStringLiteral("modified"), QStringLiteral("Modified:"), details.modified);
    addRow(QStringLiteral("attributes"), QStringLiteral("Attributes:"), details.attributes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(buttons);
}
