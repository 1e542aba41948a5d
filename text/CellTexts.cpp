#include "text/CellTexts.h"

#include "platform/FileAttributes.h"
#include "text/FileHelpers.h"

#include <QtGlobal>

ValueSlot slotOf(const ListColumn& facts, int column) {
    if (facts.slot != ValueSlot::ByPosition)
        return facts.slot;
    return column == 0   ? ValueSlot::Caption
           : column == 4 ? ValueSlot::Word
                         : ValueSlot(int(ValueSlot::Value0) + column - 1);
}

namespace {

qint64* cellOf(ListRow& row, ValueSlot slot) {
    switch (slot) {
    case ValueSlot::Value0:
        return &row.values[0];
    case ValueSlot::Value1:
        return &row.values[1];
    case ValueSlot::Value2:
        return &row.values[2];
    case ValueSlot::Word:
    case ValueSlot::Caption:
    case ValueSlot::ByPosition:
        break;
    }
    return nullptr;
}

} // namespace

qint64 cellValue(const ListRow& row, const ListColumn& facts, int column) {
    const ValueSlot slot = slotOf(facts, column);
    Q_ASSERT_X(slot != ValueSlot::Caption, "cellValue", "a caption holds bytes, not a value");
    if (slot == ValueSlot::Word)
        return qint64(row.word);
    const qint64* cell = cellOf(const_cast<ListRow&>(row), slot);
    return cell ? *cell : 0;
}

void setCellValue(ListRow& row, const ListColumn& facts, int column, qint64 value) {
    const ValueSlot slot = slotOf(facts, column);
    if (slot == ValueSlot::Word)
        row.word = quint32(value);
    else if (qint64* cell = cellOf(row, slot))
        *cell = value;
}

QString CellTexts::shown(CellKind kind, qint64 value, quint32 word) {
    const bool unread = word & FileAttr::Unread;
    switch (kind) {
    case CellKind::Count:
        return QString::number(value);
    case CellKind::Size:
        return unread ? QString() : FormatSize(value);
    case CellKind::FileTime:
        return unread ? QString() : m_dates.text(value);
    case CellKind::Attributes:
        return AttribLetters(quint32(value));
    case CellKind::Text:
        break;
    }
    Q_ASSERT_X(false, "CellTexts::shown", "a text cell holds the id of its text");
    return {};
}

std::string CellTexts::exact(CellKind kind, qint64 value, quint32 word) {
    const bool unread = word & FileAttr::Unread;
    switch (kind) {
    case CellKind::Count:
        return std::to_string(value);
    case CellKind::Size:
        return unread ? std::string() : std::to_string(value);
    case CellKind::FileTime:
        return unread ? std::string() : std::string(m_isoDates.text(value));
    case CellKind::Attributes:
        return AttribLetters(quint32(value)).toStdString();
    case CellKind::Text:
        break;
    }
    Q_ASSERT_X(false, "CellTexts::exact", "a text cell holds the id of its text");
    return {};
}
