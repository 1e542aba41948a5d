#include "export/ClipboardData.h"

#include "platform/FileName.h"
#include "platform/FileUri.h"

#include <QMimeData>

QMimeData* textMimeData(const QString& text) {
    auto* data = new QMimeData;
    const QByteArray bytes = platform::encodeFileName(text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
    data->setData(QStringLiteral("text/plain"), bytes);
    return data;
}

QMimeData* fileListMimeData(const QStringList& paths) {
    QList<QByteArray> bytes;
    for (const QString& path : paths)
        bytes.append(platform::encodeFileName(path));
    return fileListMimeData(bytes);
}

QMimeData* namesMimeData(const QList<QByteArray>& paths) {
    QByteArray text;
    for (const QByteArray& path : paths)
        text += path + "\r\n";
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text);
    data->setData(QStringLiteral("text/plain"), text);
    return data;
}

QMimeData* fileListMimeData(const QList<QByteArray>& paths) {
    QByteArray uriList;
    QByteArray gnome("copy");
    for (const QByteArray& path : paths) {
        const QByteArray uri = platform::fileUri(path);
        uriList += uri + "\r\n";
        gnome += '\n' + uri;
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), uriList);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setData(QStringLiteral("application/x-kde-cutselection"), QByteArrayLiteral("0"));
    return data;
}
