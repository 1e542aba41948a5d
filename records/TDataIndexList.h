#pragma once

#include <QCollator>
#include <QHash>
#include <QList>
#include <QString>

// One entry of the extension index: the type key and the position of its TDataRec in DataList.
class tDataIndex {
public:
    tDataIndex(const QString& ext, qint32 index) : Ext(ext), Index(index) {}

    QString Ext;
    qint32 Index;
};

// The extension index. FindExt answers as a linear scan with the locale-aware, case-ignoring
// comparison would; a hash of the case-folded key finds the usual hit without the scan.
class TDataIndexList {
public:
    // The stored Index of the first entry whose key equals key ignoring case, or -1.
    qint32 FindExt(const QString& key) const;

    void Add(const QString& key, qint32 index);
    void Clear();
    qsizetype Count() const { return m_items.size(); }
    const tDataIndex& operator[](qsizetype i) const { return m_items[i]; }
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

private:
    QList<tDataIndex> m_items;
    QMultiHash<QString, qsizetype> m_folded; // case-folded key -> position in m_items
};

// True when the two texts are equal by the user's locale collation with case ignored.
bool SameTextLocale(const QString& a, const QString& b);

// The order of the two texts by that collation: negative, zero or positive.
int CompareTextLocale(const QString& a, const QString& b);

// SameTextLocale for another thread: a collator of its own, as a collator is used by one thread
// at a time.
class LocaleTextComparer {
public:
    LocaleTextComparer();
    bool same(const QString& a, const QString& b) const;

private:
    QCollator m_collator;
};
