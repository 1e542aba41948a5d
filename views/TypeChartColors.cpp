#include "views/TypeChartColors.h"

#include <array>

namespace {

constexpr std::array<QRgb, 12> Colors = {
    0x4e79a7, 0xf28e2b, 0x59a14f, 0xe15759, 0x76b7b2, 0xedc948,
    0xb07aa1, 0xff9da7, 0x9c755f, 0x6b9ac4, 0xc2b04a, 0x8cd17d,
};

// FNV-1a over the UTF-16 code units: unlike qHash it has no per-process seed.
quint32 stableHash(const QString& text) {
    quint32 h = 2166136261u;
    for (const QChar c : text) {
        h = (h ^ (c.unicode() & 0xffu)) * 16777619u;
        h = (h ^ (c.unicode() >> 8)) * 16777619u;
    }
    return h;
}

} // namespace

QColor typeChartColor(const QString& type) {
    return QColor::fromRgb(Colors[stableHash(type.toCaseFolded()) % Colors.size()]);
}

QColor typeChartGatheredColor() {
    return QColor(0x9a, 0x9a, 0x9a);
}

QColor typeChartLabelColor(const QColor& fill) {
    // Relative luminance weights of sRGB; the threshold leaves white on the darker half.
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    return luminance > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}
