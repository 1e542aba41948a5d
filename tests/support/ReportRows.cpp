#include "support/ReportRows.h"

QList<ListColumn> fileColumns() {
    return {{QStringLiteral("Filename"), Qt::AlignLeft, -1, 300},
            {QStringLiteral("Size"), Qt::AlignRight, 80, 60},
            {QStringLiteral("Attribs"), Qt::AlignLeft, 70}};
}
