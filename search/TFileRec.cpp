#include "search/TFileRec.h"

#include "search/FileHelpers.h"
#include "search/TSearchRecW.h"

TFileRec::TFileRec(const TSearchRecW& rec, const QString& folder)
    : FileName(AddBackslash(folder) + rec.Name), Created(rec.FindData.ftCreationTime),
      Modified(rec.FindData.ftLastWriteTime), Size(FindDataSize(rec)), Attr(rec.Attr) {}
