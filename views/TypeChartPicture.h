#pragma once

#include <QString>

class QIODevice;
class TypeChartView;

enum class PictureFormat { Png, Svg };

// SVG for a file name ending in ".svg", in any letter case; PNG for every other name.
PictureFormat pictureFormatFor(const QString& path);

// Writes the chart as it shows (TypeChartView::pictureSize) to device. False when the device
// refuses a write, with the device's reason in error.
bool writeChartPicture(const TypeChartView& chart, PictureFormat format, QIODevice& device, QString* error);

// Writes the picture in the format its name asks for through platform::FileWriter: an existing
// file is replaced only once the whole picture is on the disk, so it stays as it was when anything
// fails; a FIFO or a device is written where it stands. False with the reason in error.
bool saveChartPicture(const TypeChartView& chart, const QString& path, QString* error);
