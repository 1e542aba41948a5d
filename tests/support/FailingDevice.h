#pragma once

#include <QBuffer>
#include <algorithm>

// A device that takes the first limit bytes and then refuses, as a disk that fills up does: the
// write that reaches the limit is short, the next one fails with "No space left on device".
class FailingDevice : public QBuffer {
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) { open(QIODevice::ReadWrite); }
    QByteArray written() const { return data(); }

protected:
    qint64 writeData(const char* bytes, qint64 len) override {
        const qint64 n = std::min(len, m_limit - pos());
        if (n < len)
            setErrorString(QStringLiteral("No space left on device"));
        if (n <= 0)
            return -1;
        return QBuffer::writeData(bytes, n);
    }

private:
    qint64 m_limit;
};
