#include "views/TypeChartPicture.h"

#include "views/TypeChartView.h"

#include "platform/FileWriter.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>

namespace {

// The picture in memory, so that a failing device shows in the one write that follows.
QByteArray pictureBytes(const TypeChartView& chart, PictureFormat format) {
    const QSize size = chart.pictureSize().expandedTo(QSize(1, 1));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == PictureFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        // The chart's texts were measured at the screen's resolution; the picture keeps it.
        svg.setResolution(chart.logicalDpiY());
        svg.setTitle(QStringLiteral("File types"));
        QPainter painter(&svg);
        chart.paintPicture(painter, size);
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = int(std::lround(chart.logicalDpiY() / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            chart.paintPicture(painter, size);
        }
        image.save(&buffer, "PNG");
    }
    return bytes;
}

} // namespace

PictureFormat pictureFormatFor(const QString& path) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ? PictureFormat::Svg : PictureFormat::Png;
}

bool writeChartPicture(const TypeChartView& chart, PictureFormat format, QIODevice& device, QString* error) {
    const QByteArray bytes = pictureBytes(chart, format);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("The picture could not be made");
        return false;
    }
    // A short write is no failure yet (a file takes what fits); the next write tells why it stopped.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = device.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            *error = device.errorString();
            return false;
        }
        done += n;
    }
    return true;
}

bool saveChartPicture(const TypeChartView& chart, const QString& path, QString* error) {
    platform::FileWriter file;
    if (file.create(path) && writeChartPicture(chart, pictureFormatFor(path), file, error) && file.commit())
        return true;
    if (file.error() != 0)
        *error = file.errorString();
    return false;
}
