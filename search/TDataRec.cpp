#include "search/TDataRec.h"

#include "search/FileHelpers.h"
#include "search/TDataIndexList.h"
#include "search/TSearchRecW.h"

TDataRec::TDataRec(const TSearchRecW& rec) : Ext(ExtractExt(rec.Name)), Count(1), Size(rec.Size) {}

bool TDataRec::AddFile(const TSearchRecW& rec) {
    if (!SameTextLocale(ExtractExt(rec.Name), Ext))
        return false;
    ++Count;
    Size += rec.Size;
    return true;
}
