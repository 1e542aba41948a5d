#pragma once

// The version of the programs, as the build names it ("0.1").
const char* programVersion();
