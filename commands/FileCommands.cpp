#include "app/try1.h"

QStringList TForm1::SelectedPaths() const { return {}; }
void TForm1::Copyto1Click() {}
void TForm1::Moveselectedfiles1Click() {}
void TForm1::DeleteFiles2Click() {}
