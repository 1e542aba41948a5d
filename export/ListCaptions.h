#pragma once

#include <QStringList>

// The column captions of the two result lists, which also head their CSV files.
inline QStringList typeListCaptions() {
    return {QStringLiteral("Type"), QStringLiteral("Description"), QStringLiteral("Count"), QStringLiteral("Size")};
}
inline QStringList fileListCaptions() {
    return {QStringLiteral("Filename"), QStringLiteral("Date Created"), QStringLiteral("Date modified"),
            QStringLiteral("Size"), QStringLiteral("Attribs")};
}
