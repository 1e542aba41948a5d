#include "app/try1.h"

void TForm1::Copyfilelist1Click() {}
void TForm1::Copyfiles1Click() {}
void TForm1::CopyfiledetailstoclipboardasCSV1Click(QAction*) {}
void TForm1::Copydetailstoclipboard1Click(QAction*) {}
