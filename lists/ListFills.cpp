#include "lists/ListFills.h"

#include "text/CellTexts.h"

qint64 fillTypeList(ReportModel& model, const std::vector<TypeTotal>& types) {
    qint64 total = 0;
    for (const TypeTotal& type : types) {
        ListRow row;
        setCellValue(row, TypeColumn::Description, model.textId(type.description));
        setCellValue(row, TypeColumn::Count, type.count);
        setCellValue(row, TypeColumn::Size, type.size);
        model.addRow(type.type, row);
        total += type.size;
    }
    model.flushRows();
    return total;
}

std::vector<TypeTotal> typeTotalsOf(const ReportModel& model) {
    std::vector<TypeTotal> types;
    types.reserve(size_t(model.rowCount()));
    for (int r = 0; r < model.rowCount(); ++r) {
        TypeTotal type{model.text(r, columnIndex(TypeColumn::Type)),
                       model.text(r, columnIndex(TypeColumn::Description)), 0, 0};
        // A row given as texts has no values to draw.
        if (!model.isTextRow(r)) {
            type.count = cellValue(model.row(r), TypeColumn::Count);
            type.size = cellValue(model.row(r), TypeColumn::Size);
        }
        types.push_back(type);
    }
    return types;
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
