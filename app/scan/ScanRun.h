#pragma once

// trovex-scan: reads its arguments, walks the folder with the window's engine, writes the summary
// or the list and returns the exit status: 0 found, 1 nothing matched, 2 bad usage, 3 the folder
// cannot be read, 4 the output cannot be written, 128 + the signal when interrupted.
int runScan(int argc, char** argv);
