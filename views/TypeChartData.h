#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// One row of the type summary as the chart draws it.
struct ChartType {
    QString type;        // the type text, ".pdf"; empty for files without an extension
    QString description; // the desktop's name of the type
    qint64 count = 0;    // files of the type
    qint64 size = 0;     // their total size in bytes
};
