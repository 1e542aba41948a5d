#include "lists/ListFills.h"

#include "export/ListCaptions.h"

QList<ListColumn> typeListColumns() {
    const QStringList captions = typeListCaptions();
    return {
        {captions[0], Qt::AlignLeft, 100, 0, CellKind::Text},
        {captions[1], Qt::AlignLeft, -1, 0, CellKind::Text},
        {captions[2], Qt::AlignRight, 60, 60, CellKind::Count},
        {captions[3], Qt::AlignRight, 80, 80, CellKind::Size},
    };
}

QList<ListColumn> fileListColumns() {
    const QStringList captions = fileListCaptions();
    return {
        {captions[0], Qt::AlignLeft, -1, 300, CellKind::Text},
        {captions[1], Qt::AlignLeft, 140, 140, CellKind::FileTime},
        {captions[2], Qt::AlignLeft, 140, 140, CellKind::FileTime},
        {captions[3], Qt::AlignRight, 80, 80, CellKind::Size},
        {captions[4], Qt::AlignLeft, 70, 70, CellKind::Attributes},
    };
}

qint64 fillTypeList(ReportModel& model, const TDataList& types, const TDataIndexList& index,
                    const std::function<QString(const QString& typeText)>& typeName) {
    qint64 total = 0;
    for (const tDataIndex& entry : index) {
        const TDataRec& rec = types[size_t(entry.Index)];
        // The narrow code page is UTF-8 with lossless names, so the type text is Ext itself.
        ListRow row;
        row.values[0] = model.textId(typeName(rec.Ext));
        row.values[1] = rec.Count;
        row.values[2] = rec.Size;
        model.addRow(rec.Ext, row);
        total += rec.Size;
    }
    model.flushRows();
    return total;
}

int fillFileList(ReportModel& model, TFileList& found, PumpClock& clock, const std::function<void()>& pump,
                 const std::function<bool()>& stopped) {
    TFileList::Taken taken = found.takeRows();
    const int total = int(taken.rows.size());
    model.adoptRows(std::move(taken.rows), taken.arena);
    // Rows come into sight a pump's worth at a time, so whatever runs inside the pump sees the list
    // as far as it has been filled; a stop keeps those and forgets the rest.
    // The clock is read every few rows only, since a row costs far less than reading it; with no
    // interval, before every row.
    // The view's own bookkeeping of an insertion grows with the rows inserted (some nanoseconds a row), so a
    // pump inserts at most kRowsPerPump, however fast the rows come.
    constexpr int kRowsPerPump = 1 << 17;
    const bool everyRow = clock.interval().count() == 0;
    int inSight = 0;
    for (int shown = 0; shown < total; ++shown) {
        if ((everyRow || shown % 64 == 0) && (clock.due() || shown - inSight >= kRowsPerPump)) {
            model.showRows(shown);
            inSight = shown;
            pump();
            clock.pumped();
        }
        if (stopped())
            break;
    }
    if (!stopped())
        model.flushRows();
    model.dropHiddenRows();
    return model.rowCount();
}
