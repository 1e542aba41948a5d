#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <functional>

// What a run of the built trovex-scan left: its exit status (-1 when it did not exit normally),
// standard output and standard error.
struct ScanResult {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs trovex-scan with the arguments as a script would, HOME and the XDG folders pointing into a
// temporary folder; prepare may redirect its channels or change its start. Waits up to 60 s.
ScanResult runTrovexScan(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {});

// The program's path in the build.
QString trovexScanPath();
