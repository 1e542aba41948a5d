#include "app/try1.h"

void TForm1::OpenfolderinExplorerClick() {}
void TForm1::Properties1Click() {}
