#pragma once

#include <QColor>
#include <QString>

// The colour of a type's tile and bar, from a fixed hash of its case-folded text (the summary
// names a type after the first file met, so ".TXT" one run may be ".txt" the next): the same type
// has the same colour on every run. The colours are of middle lightness, so they read on light
// and dark windows alike.
QColor typeChartColor(const QString& type);

// The colour of the tile that gathers the small types: a grey no type is given.
QColor typeChartGatheredColor();

// Black or white, whichever has the higher contrast with fill as WCAG measures it.
QColor typeChartLabelColor(const QColor& fill);
