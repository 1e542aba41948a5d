#include "app/try1.h"

void TForm1::FormKeyDown(QKeyEvent*) {}
void TForm1::Button1Click() {}
void TForm1::Timer1Timer() {}
