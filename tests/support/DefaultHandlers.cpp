#include "support/DefaultHandlers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

DefaultHandlers::DefaultHandlers(TempTree& tree, const QString& applications)
    : m_applications(applications),
      m_dataDirs("XDG_DATA_DIRS", QFile::encodeName(tree.root() + QStringLiteral("/system"))) {
    tree.makeLink("/usr/share/mime", "system/mime");
    EXPECT_TRUE(QDir().mkpath(applications));
}

QString DefaultHandlers::of(const QString& type) const {
    QProcess index;
    index.start(QStringLiteral("update-desktop-database"), {m_applications});
    EXPECT_TRUE(index.waitForFinished(20000)) << "update-desktop-database (desktop-file-utils) is needed";
    EXPECT_EQ(index.exitCode(), 0) << index.readAllStandardError().constData();
    QProcess gio;
    gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), type});
    EXPECT_TRUE(gio.waitForFinished(20000)) << "gio (libglib2.0-bin) is needed";
    const QString answer = QString::fromUtf8(gio.readAllStandardOutput() + gio.readAllStandardError());
    EXPECT_TRUE(answer.contains(type)) << "gio did not answer for the type: " << qPrintable(answer);
    return answer;
}
