#include "records/TypeTotal.h"

#include "records/TDataIndexList.h"

std::vector<TypeTotal> typeTotals(const TDataList& types, const TDataIndexList& index,
                                  const std::function<QString(const QString& typeText)>& nameOf) {
    std::vector<TypeTotal> totals;
    totals.reserve(size_t(index.Count()));
    for (const tDataIndex& entry : index) {
        const TDataRec& rec = types[size_t(entry.Index)];
        // The narrow code page is UTF-8 with lossless names, so the type text is Ext itself.
        totals.push_back({rec.Ext, nameOf(rec.Ext), rec.Count, rec.Size});
    }
    return totals;
}
