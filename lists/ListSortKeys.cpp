#include "lists/ListSortKeys.h"

#include "platform/FileAttributes.h"
#include "search/FileHelpers.h"
#include "search/SortKeys.h"

#include <limits>
#include <stdexcept>

namespace {

constexpr double kUnreadKey = -std::numeric_limits<double>::infinity();

[[noreturn]] void notReadable(const QString& text, const char* what) {
    throw std::runtime_error(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)).toStdString());
}

double sizeTextKey(const QString& text) {
    double key = kUnreadKey;
    if (!text.isEmpty() && !SizeTextValue(text, key))
        notReadable(text, "floating point value");
    return key;
}

} // namespace

bool ListSortKeys::typeKey(const ReportModel& model, int column, int stored, double& key) {
    if (column != 2 && column != 3)
        return false;
    if (model.isStoredTextRow(stored)) {
        const QString text = model.storedText(stored, column);
        if (column == 3) {
            key = sizeTextKey(text);
        } else {
            bool ok = false;
            key = text.toInt(&ok);
            if (!ok)
                notReadable(text, "integer value");
        }
        return true;
    }
    const qint64 value = model.storedRow(stored).values[column - 1];
    key = column == 3 ? ShownSizeKb(value) : double(value);
    return true;
}

bool ListSortKeys::fileKey(const ReportModel& model, int column, int stored, double& key) {
    if (column < 1 || column > 3)
        return false;
    if (model.isStoredTextRow(stored)) {
        const QString text = model.storedText(stored, column);
        if (column == 3) {
            key = sizeTextKey(text);
        } else if (text.isEmpty()) {
            key = kUnreadKey;
        } else if (!DateTextFormat::system().parse(text, key)) {
            notReadable(text, "date and time");
        }
        return true;
    }
    const ListRow& r = model.storedRow(stored);
    if (r.word & FileAttr::Unread)
        key = kUnreadKey;
    else if (column == 3)
        key = ShownSizeKb(r.values[FileSlot::Size]);
    else
        key = m_dates.minuteValue(r.values[column - 1]);
    return true;
}
