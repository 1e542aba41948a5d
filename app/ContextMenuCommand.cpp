#include "app/try1.h"

void TForm1::TntButton1Click() {}
