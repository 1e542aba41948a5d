#include "support/TestEnvironment.h"

#include <cstdlib>
#include <ctime>

void fixTestEnvironment() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::tzset();
}
