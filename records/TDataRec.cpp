#include "records/TDataRec.h"

#include "text/FileHelpers.h"
#include "records/TDataIndexList.h"
#include "walk/TSearchRecW.h"

TDataRec::TDataRec(const TSearchRecW& rec) : Ext(ExtractExt(rec.Name)), Count(1), Size(rec.Size) {}

bool TDataRec::accepts(const QString& ext) const {
    return SameTextLocale(ext, Ext);
}

bool TDataRec::AddFile(const TSearchRecW& rec) {
    if (!accepts(ExtractExt(rec.Name)))
        return false;
    add(rec.Size);
    return true;
}
