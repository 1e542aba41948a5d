// Renders the program's scalable icon into the PNG sizes of the icon theme, so the bitmaps are
// made from the one drawing at build time and never drift from it.
//
// Usage: render_icon ICON.svg OUTDIR SIZE...   writes OUTDIR/SIZE/<name of ICON>.png for each size

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ICON.svg OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(svg).completeBaseName() + QStringLiteral(".png");
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "render_icon: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        const QString folder = outDir + QLatin1Char('/') + QString::number(size);
        if (!QDir().mkpath(folder) || !image.save(folder + QLatin1Char('/') + name, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s/%s\n", qPrintable(folder), qPrintable(name));
            return 1;
        }
    }
    return 0;
}
