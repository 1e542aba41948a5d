#include "text/MaskMatcher.h"

#include <gtest/gtest.h>

namespace {

bool m(const char* text, const char* mask) {
    return PathMatchSpec(QString::fromUtf8(text), QString::fromUtf8(mask));
}

TEST(MaskMatcher, WildcardsMatchRunsAndSingleCharacters) {
    EXPECT_TRUE(m(".txt", "*.txt"));
    EXPECT_TRUE(m(".txt", "*txt"));
    EXPECT_TRUE(m(".txt", ".t?t"));
    EXPECT_FALSE(m(".txt", ".t?"));
    EXPECT_TRUE(m("abc", "a*"));
    EXPECT_TRUE(m("abc", "*"));
    EXPECT_TRUE(m("", "*"));
    EXPECT_FALSE(m("", "?"));
    EXPECT_TRUE(m("aXbXc", "a*b*c"));
    EXPECT_FALSE(m("aXbXd", "a*b*c"));
    EXPECT_TRUE(m("mississippi", "*sip*i"));
}

TEST(MaskMatcher, TheExtensionIncludesItsDot) {
    EXPECT_FALSE(m(".txt", "txt"));
    EXPECT_TRUE(m(".txt", ".txt"));
}

TEST(MaskMatcher, IgnoresCaseBeyondAscii) {
    EXPECT_TRUE(m(".TXT", "*.txt"));
    EXPECT_TRUE(m("ÉTÉ.doc", "été*"));
    EXPECT_TRUE(m("Straße", "STRASSE") || m("Straße", "straße")); // folding is per character
    EXPECT_TRUE(m("Straße", "STRAßE"));
}

TEST(MaskMatcher, SeparatesPatternsAndSkipsLeadingBlanks) {
    EXPECT_TRUE(m(".doc", "*.txt;*.doc"));
    EXPECT_TRUE(m(".doc", "*.txt;   *.doc"));
    EXPECT_TRUE(m(".txt", "  .txt"));
    EXPECT_FALSE(m(".pdf", "*.txt;*.doc"));
    // A type joined to the previous entry by a SHIFT+click makes one odd pattern.
    EXPECT_TRUE(m(".txt.doc", "*.txt.doc;"));
    EXPECT_FALSE(m(".doc", "*.txt.doc;"));
}

TEST(MaskMatcher, StarDotStarAloneMatchesEverything) {
    EXPECT_TRUE(m("", "*.*"));
    EXPECT_TRUE(m("README", "*.*"));
    EXPECT_TRUE(m(".txt", "*.*"));
    EXPECT_FALSE(m("README", "*.*;*.txt"));
}

TEST(MaskMatcher, EmptyMasksAndEmptyPatterns) {
    EXPECT_FALSE(m("", ""));
    EXPECT_FALSE(m("a", ""));
    // A blank alone is one empty pattern: it matches only the empty text.
    EXPECT_TRUE(m("", " "));
    EXPECT_FALSE(m(".txt", " "));
    // An empty pattern inside the list matches the empty text; a closing ";" adds no pattern.
    EXPECT_TRUE(m("", ";.txt"));
    EXPECT_FALSE(m("", ".txt;"));
    EXPECT_FALSE(m("", ".txt;.doc;"));
}

TEST(MaskMatcher, KeepsItsCompiledMask) {
    MaskMatcher matcher(QStringLiteral("*.JPG; *.png"));
    EXPECT_TRUE(matcher.matches(u".jpg"));
    EXPECT_TRUE(matcher.matches(u".PNG"));
    EXPECT_FALSE(matcher.matches(u".gif"));
    matcher.setMask(QString());
    EXPECT_FALSE(matcher.matches(u".jpg"));
}

} // namespace
