#pragma once

#include <QString>
#include <optional>

// What our own properties dialog shows of a file, in the texts the file list uses.
struct FileDetails {
    QString name;     // the file name without its folder
    QString folder;   // the folder, ending in "/"
    qint64 size = 0;  // bytes
    QString sizeText; // FormatSize
    QString created;  // date texts of the file list
    QString modified;
    QString attributes; // AttribLetters
    QString typeName;   // FileTypeName of the extension
};

// Reads the details of the file at path (absolute), from the same directory listing the walk uses,
// so they match the file's row. Empty when the folder cannot be read or the file is not in it.
std::optional<FileDetails> readFileDetails(const QString& path);
