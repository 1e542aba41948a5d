#include "records/TFileRec.h"

#include "text/FileHelpers.h"
#include "walk/TSearchRecW.h"

TFileRec::TFileRec(const TSearchRecW& rec, const QString& folder)
    : FileName(AddBackslash(folder) + rec.Name), Created(rec.FindData.ftCreationTime),
      Modified(rec.FindData.ftLastWriteTime), Size(FindDataSize(rec)), Attr(rec.Attr) {}
