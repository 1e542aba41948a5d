#include "app/scan/ScanRun.h"

int main(int argc, char* argv[]) {
    return runScan(argc, argv);
}
