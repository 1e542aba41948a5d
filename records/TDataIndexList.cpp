#include "records/TDataIndexList.h"

#include <QCollator>
#include <QLocale>

namespace {

QCollator makeTextCollator() {
    QCollator c(QLocale::system());
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
}

const QCollator& textCollator() {
    static const QCollator collator = makeTextCollator();
    return collator;
}

} // namespace

LocaleTextComparer::LocaleTextComparer() : m_collator(makeTextCollator()) {}

bool LocaleTextComparer::same(const QString& a, const QString& b) const {
    return a == b || m_collator.compare(a, b) == 0;
}

bool SameTextLocale(const QString& a, const QString& b) {
    if (a == b)
        return true;
    return textCollator().compare(a, b) == 0;
}

int CompareTextLocale(const QString& a, const QString& b) {
    return a == b ? 0 : textCollator().compare(a, b);
}

qint32 TDataIndexList::FindExt(const QString& key) const {
    // No two keys are equal to each other, so at most one entry can equal the key: a hit among
    // the entries of the same case-folded key is the answer the linear scan would give.
    const QString folded = key.toCaseFolded();
    for (auto it = m_folded.constFind(folded); it != m_folded.cend() && it.key() == folded; ++it) {
        const tDataIndex& e = m_items[it.value()];
        if (SameTextLocale(e.Ext, key))
            return e.Index;
    }
    // The collation may equate texts whose case folds differ; only a new type pays for this scan.
    for (const tDataIndex& e : m_items) {
        if (SameTextLocale(e.Ext, key))
            return e.Index;
    }
    return -1;
}

void TDataIndexList::Add(const QString& key, qint32 index) {
    m_folded.insert(key.toCaseFolded(), m_items.size());
    m_items.append(tDataIndex(key, index));
}

void TDataIndexList::Clear() {
    m_items.clear();
    m_folded.clear();
}
