#pragma once

#include <QString>

// A text from a UTF-8 literal, for tests, which the project builds without implicit conversions.
inline QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
