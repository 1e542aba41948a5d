#include "support/ScanProgram.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QString trovexScanPath() {
    return QStringLiteral(TROVEX_SCAN_PROGRAM);
}

ScanResult runTrovexScan(const QStringList& arguments, const std::function<void(QProcess&)>& prepare) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());

    QProcess process;
    process.setProcessEnvironment(env);
    if (prepare)
        prepare(process);
    process.start(trovexScanPath(), arguments);
    ScanResult result;
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << "trovex-scan did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    return result;
}
