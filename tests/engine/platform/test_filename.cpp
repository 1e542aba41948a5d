#include "platform/FileName.h"

#include <gtest/gtest.h>

namespace {

using platform::decodeFileName;
using platform::encodeFileName;

TEST(FileName, ValidUtf8DecodesNormally) {
    EXPECT_EQ(decodeFileName(QByteArray("plain.txt")), QStringLiteral("plain.txt"));
    EXPECT_EQ(decodeFileName(QByteArray("caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac")), QString::fromUtf8("café 日本"));
    EXPECT_EQ(decodeFileName(QByteArray("\xf0\x9f\x98\x80")), QString::fromUtf8("\xf0\x9f\x98\x80"));
}

TEST(FileName, InvalidBytesBecomeLoneSurrogatesAndComeBack) {
    const QByteArray cases[] = {
        QByteArray("bad\xff.txt"),            // a byte that never starts a sequence
        QByteArray("latin1-caf\xe9"),         // a lead byte with no continuation
        QByteArray("\xc0\xaf overlong"),      // an overlong "/"
        QByteArray("\xed\xa0\x80 surrogate"), // an encoded surrogate
        QByteArray("cut \xe6\x97"),           // a sequence cut short at the end
        QByteArray("\xf4\x90\x80\x80 too high"),
        QByteArray("mix \xf0\x9f\x98\x80\x80\xe9."),
    };
    for (const QByteArray& bytes : cases) {
        const QString name = decodeFileName(bytes);
        EXPECT_EQ(encodeFileName(name), bytes) << bytes.toHex().constData();
    }
    EXPECT_EQ(decodeFileName(QByteArray("a\xff")), QString(QStringLiteral("a") + QChar(0xDCFF)));
}

TEST(FileName, DistinctByteNamesStayDistinct) {
    // Two names that a lossy decoder would both show as "x\uFFFD" must reach different files.
    EXPECT_NE(decodeFileName(QByteArray("x\xfe")), decodeFileName(QByteArray("x\xff")));
}

} // namespace
