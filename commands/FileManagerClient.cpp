#include "commands/FileManagerClient.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QTimer>

FileManagerClient::FileManagerClient(const QDBusConnection& bus, int timeoutMs) : m_bus(bus), m_timeoutMs(timeoutMs) {}

void FileManagerClient::showItems(const QByteArrayList& uris, QObject* context, std::function<void()> onFailure) const {
    call(QStringLiteral("ShowItems"), uris, context, std::move(onFailure));
}

void FileManagerClient::showItemProperties(const QByteArrayList& uris, QObject* context,
                                           std::function<void()> onFailure) const {
    call(QStringLiteral("ShowItemProperties"), uris, context, std::move(onFailure));
}

void FileManagerClient::call(const QString& method, const QByteArrayList& uris, QObject* context,
                             std::function<void()> onFailure) const {
    if (!m_bus.isConnected()) {
        QTimer::singleShot(0, context, std::move(onFailure));
        return;
    }
    const QString fileManager = QStringLiteral("org.freedesktop.FileManager1");
    QDBusMessage message = QDBusMessage::createMethodCall(fileManager, QStringLiteral("/org/freedesktop/FileManager1"),
                                                          fileManager, method);
    QStringList uriTexts;
    for (const QByteArray& uri : uris)
        uriTexts.append(QString::fromLatin1(uri)); // percent-encoded, so plain ASCII
    // The second argument is the startup notification id; we have none to pass on.
    message << uriTexts << QString();

    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, m_timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [onFailure = std::move(onFailure)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         if (finished->isError())
                             onFailure();
                     });
}
