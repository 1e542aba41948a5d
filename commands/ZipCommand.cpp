#include "app/try1.h"

void TForm1::ZIPselectedfiles1Click() {}
void TForm1::ZipForge1FileProgress(const QString&) {}
