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

    // Test discovery runs the binary without the test environment, and no test needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
