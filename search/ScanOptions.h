#pragma once

#include <QString>

// A snapshot of the option controls. Options can change only while events are processed, so the
// walk takes a fresh snapshot after each pump.
struct ScanOptions {
    bool hidBox = true; // exclude hidden files
    bool sysBox = true; // exclude system files
    bool attribsChk = false;
    bool readChk = false;
    bool archiveChk = false;

    bool singleFile = false; // file type mask
    QString fileType;
    bool inFile = false; // file name mask
    QString inText;
    bool fileCreated = false;
    int fileCreatedCombo = 0; // item index, -1 for typed text
    double createDate = 0;    // date-time value
    bool fileModified = false;
    int fileModifiedCombo = 0;
    double modDate = 0;
    bool fileSize = false;
    int fileSizeCombo = 0;
    double fileSizeKb = 0;

    bool operator==(const ScanOptions&) const = default;
};
