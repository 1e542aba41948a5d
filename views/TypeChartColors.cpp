#include "views/TypeChartColors.h"

#include <array>
#include <cmath>

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

// Relative luminance as WCAG defines it: the sRGB channels made linear, then weighted.
double relativeLuminance(const QColor& color) {
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

} // namespace

QColor typeChartColor(const QString& type) {
    return QColor::fromRgb(Colors[stableHash(type.toCaseFolded()) % Colors.size()]);
}

QColor typeChartGatheredColor() {
    return QColor(0x9a, 0x9a, 0x9a);
}

QColor typeChartLabelColor(const QColor& fill) {
    // WCAG contrast ratios, (lighter + 0.05) / (darker + 0.05), with white at 1 and black at 0. The
    // channels must be made linear first: weighted as stored, a middle red or brown counts as dark
    // and gets white, which reads worse on it than black.
    const double luminance = relativeLuminance(fill);
    return (luminance + 0.05) / 0.05 >= 1.05 / (luminance + 0.05) ? QColor(Qt::black) : QColor(Qt::white);
}
