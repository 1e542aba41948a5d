#include "lists/ListSortKeys.h"

#include "platform/FileAttributes.h"
#include "text/FileHelpers.h"
#include "text/SortKeys.h"

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

bool ListSortKeys::key(const ReportModel& model, int column, int stored, double& key) {
    const SortRule rule = model.columns()[column].sort;
    if (rule == SortRule::Collation)
        return false;
    if (model.isStoredTextRow(stored)) {
        const QString text = model.storedText(stored, column);
        switch (rule) {
        case SortRule::Number: {
            bool ok = false;
            key = text.toInt(&ok);
            if (!ok)
                notReadable(text, "integer value");
            break;
        }
        case SortRule::ShownKilobytes:
            key = sizeTextKey(text);
            break;
        case SortRule::Minute:
            if (text.isEmpty())
                key = kUnreadKey;
            else if (!DateTextFormat::system().parse(text, key))
                notReadable(text, "date and time");
            break;
        case SortRule::Collation:
            break;
        }
        return true;
    }
    const ListRow& row = model.storedRow(stored);
    const qint64 value = model.cellValue(row, column);
    switch (rule) {
    case SortRule::Number:
        key = double(value);
        break;
    case SortRule::ShownKilobytes:
        key = (row.word & FileAttr::Unread) ? kUnreadKey : ShownSizeKb(value);
        break;
    case SortRule::Minute:
        key = (row.word & FileAttr::Unread) ? kUnreadKey : m_dates.minuteValue(value);
        break;
    case SortRule::Collation:
        break;
    }
    return true;
}
