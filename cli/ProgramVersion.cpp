#include "cli/ProgramVersion.h"

// The build passes the project's version to this file alone, so a new version rebuilds one file.
const char* programVersion() {
    return TROVEX_VERSION;
}
