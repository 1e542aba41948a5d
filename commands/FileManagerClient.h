#pragma once

#include <QByteArrayList>
#include <QDBusConnection>
#include <QString>
#include <functional>

class QObject;

// Asks the desktop's file manager, through org.freedesktop.FileManager1 on a D-Bus connection,
// to show files. Calls never wait: the answer is handled later by the event loop.
class FileManagerClient {
public:
    // Long enough for a file manager that D-Bus first has to start.
    static constexpr int defaultTimeoutMs = 10000;

    explicit FileManagerClient(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                               int timeoutMs = defaultTimeoutMs);

    // ShowItems: each URI's folder opened with the item selected.
    void showItems(const QByteArrayList& uris, QObject* context, std::function<void()> onFailure) const;
    // ShowItemProperties: the file manager's properties dialog of the items.
    void showItemProperties(const QByteArrayList& uris, QObject* context, std::function<void()> onFailure) const;

    // Both: when no file manager takes the call (no bus, no such service, an error reply or none
    // within the timeout), onFailure runs from the event loop instead, unless context is gone by then.

private:
    void call(const QString& method, const QByteArrayList& uris, QObject* context,
              std::function<void()> onFailure) const;

    QDBusConnection m_bus;
    int m_timeoutMs;
};
