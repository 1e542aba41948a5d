#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// Matches texts against a mask list: patterns separated by ";", leading blanks of each pattern
// skipped, "*" any run of characters, "?" exactly one, everything else itself ignoring case.
// "*.*" alone matches every text; an empty mask matches nothing; a pattern that is empty after
// its blanks matches only the empty text, while a ";" that ends the mask adds no pattern.
class MaskMatcher {
public:
    MaskMatcher() = default;
    explicit MaskMatcher(const QString& mask) { setMask(mask); }

    void setMask(const QString& mask);
    const QString& mask() const { return m_mask; }
    bool matches(QStringView text) const;

private:
    QString m_mask;
    bool m_matchAll = false;
    std::vector<QString> m_patterns; // case-folded
};

// One-shot form of the matcher.
bool PathMatchSpec(QStringView text, const QString& mask);
