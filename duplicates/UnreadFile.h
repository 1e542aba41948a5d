#pragma once

#include <QByteArray>
#include <QString>

// A candidate a duplicate search could not compare: it could not be looked at, opened or read, or
// it changed while it was being compared. It is in no group, whatever its content.
struct UnreadFile {
    QByteArray path; // native bytes, the first name it was given under
    int error = 0;   // errno of the call that failed; 0 when the file changed while it was compared

    bool changed() const { return error == 0; }
    // The system's text for error, or "changed while it was compared".
    QString reason() const;
};
