#include "app/try1.h"

void TForm1::LoadFileList(const QString&) {}
void TForm1::ListView1DblClick() {}
void TForm1::ListView2DblClick() {}
void TForm1::PopupMenu1Popup() {}
void TForm1::Selectall1Click() {}
void TForm1::FilterClick() {}
void TForm1::Filterfilesbytype1Click() {}
void TForm1::Removeselectedfiles1Click() {}
void TForm1::Reload1Click() {}
