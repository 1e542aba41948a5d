#pragma once

#include "platform/FileDetails.h"

#include <QDialog>

// Our own properties dialog of one file: name, folder, type, size in bytes and as size text,
// created, modified, attribute letters. Shown when no file manager shows its own.
class PropertiesDialog : public QDialog {
    Q_OBJECT

public:
    explicit PropertiesDialog(const FileDetails& details, QWidget* parent = nullptr);
};
