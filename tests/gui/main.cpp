#include "support/TestEnvironment.h"

#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // No test may read or write the real home: the window reads the per-user key store at start.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray homePath = QFile::encodeName(home.path());
    qputenv("HOME", homePath);
    qputenv("XDG_CONFIG_HOME", homePath + "/.config");
    qputenv("XDG_DATA_HOME", homePath + "/.local/share");
    qputenv("XDG_CACHE_HOME", homePath + "/.cache");

    // The same locale, time zone and offscreen platform however the binary is started.
    fixTestEnvironment();

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
