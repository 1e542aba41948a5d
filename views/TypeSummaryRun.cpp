#include "app/try1.h"

void TForm1::LoadTypeSummary() {}
void TForm1::ResetDisplay() {}
void TForm1::ListView1Click() {}
