#include "text/MaskMatcher.h"

namespace {

inline char16_t fold(char16_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? char16_t(c + ('a' - 'A')) : c;
    return QChar::toCaseFolded(c);
}

// Wildcard match of one folded pattern against the whole text, with backtracking over the last "*".
bool matchOne(QStringView pattern, QStringView text) {
    qsizetype p = 0, t = 0;
    qsizetype starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const char16_t pc = pattern[p].unicode();
            if (pc == u'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (pc == u'?' || pc == fold(text[t].unicode())) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

void MaskMatcher::setMask(const QString& mask) {
    m_mask = mask;
    m_patterns.clear();
    m_matchAll = mask == QLatin1String("*.*");
    // Each round skips the blanks, takes the pattern up to the next ";", and ends when nothing is
    // left, so a trailing ";" adds no pattern while " " alone adds the empty one.
    qsizetype i = 0;
    const qsizetype n = mask.size();
    while (i < n) {
        while (i < n && mask[i] == u' ')
            ++i;
        qsizetype end = i;
        while (end < n && mask[end] != u';')
            ++end;
        QString pattern = mask.mid(i, end - i);
        for (QChar& c : pattern)
            c = QChar(fold(c.unicode()));
        m_patterns.push_back(std::move(pattern));
        i = end;
        if (i < n) {
            ++i; // the ";"
            while (i < n && mask[i] == u' ')
                ++i;
        }
    }
}

bool MaskMatcher::matches(QStringView text) const {
    if (m_matchAll)
        return true;
    for (const QString& pattern : m_patterns) {
        if (matchOne(pattern, text))
            return true;
    }
    return false;
}

bool PathMatchSpec(QStringView text, const QString& mask) {
    return MaskMatcher(mask).matches(text);
}
