#include "app/CollapseSplitter.h"
#include "app/DatePicker.h"
#include "app/LedLamp.h"
#include "commands/ErrorReport.h"
#include "skin/SkinEngine.h"
#include "support/TempTree.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSplitterHandle>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(ErrorReport, AppendsAFullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(errorReportText(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
    EXPECT_EQ(errorReportText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(errorReportText(QStringLiteral("Failed (2)")), QStringLiteral("Failed (2)"));
    EXPECT_EQ(errorReportText(QStringLiteral("Why?")), QStringLiteral("Why?."));
    EXPECT_EQ(errorReportText(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
    EXPECT_EQ(errorReportText(QStringLiteral("in /tmp/")), QStringLiteral("in /tmp/."));
    EXPECT_EQ(errorReportText(QStringLiteral("Größe")), QStringLiteral("Größe."));
    EXPECT_EQ(errorReportText(QString()), QString());
}

TEST(LedLamp, IsARound17PixelLampGreenWhenOnRedWhenOff) {
    LedLamp lamp;
    EXPECT_EQ(lamp.size(), QSize(17, 17));
    EXPECT_FALSE(lamp.Status());
    QSignalSpy changed(&lamp, &LedLamp::statusChanged);

    auto centre = [&] {
        QImage image(lamp.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        lamp.render(&image, {}, {}, QWidget::DrawChildren); // the lamp alone, no background
        return std::pair{QColor(image.pixel(8, 8)), qAlpha(image.pixel(0, 0))};
    };
    auto [offColour, offCorner] = centre();
    EXPECT_GT(offColour.red(), 2 * offColour.green());
    EXPECT_EQ(offCorner, 0); // round: the corners stay transparent

    lamp.setProperty("Status", true);
    EXPECT_TRUE(lamp.Status());
    auto [onColour, onCorner] = centre();
    EXPECT_GT(onColour.green(), 2 * onColour.red());
    EXPECT_EQ(onCorner, 0);

    lamp.setStatus(true); // no change, no signal
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().first().toBool(), true);
}

class CollapseSplitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        upper->setMinimumHeight(335);
        lower->setMinimumHeight(100);
        splitter.addWidget(upper);
        splitter.addWidget(lower);
        splitter.setStretchFactor(1, 1);
        splitter.resize(600, 700);
        splitter.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
        splitter.setSizes({335, 700 - 335 - 12});
    }
    QSplitterHandle* handle() const { return splitter.handle(1); }
    // Drags the handle by dy from a point clear of its button.
    void drag(int dy) {
        const QPoint start(10, handle()->height() / 2);
        QTest::mousePress(handle(), Qt::LeftButton, {}, start);
        QTest::mouseMove(handle(), start + QPoint(0, dy));
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, start + QPoint(0, dy));
    }

    CollapseSplitter splitter;
    QLabel* upper = new QLabel(QStringLiteral("upper"));
    QLabel* lower = new QLabel(QStringLiteral("lower"));
};

TEST_F(CollapseSplitterTest, HandleIs12PxWithA100PxButtonInTheMiddle) {
    EXPECT_EQ(splitter.orientation(), Qt::Vertical);
    EXPECT_EQ(handle()->height(), 12);
    EXPECT_EQ(handle()->cursor().shape(), Qt::SplitVCursor);
    EXPECT_TRUE(splitter.opaqueResize());
    QAbstractButton* button = splitter.collapseButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->width(), 100);
    EXPECT_EQ(button->parentWidget(), handle());
    EXPECT_NEAR(button->geometry().center().x(), handle()->width() / 2, 1);
    EXPECT_FALSE(splitter.isCollapsed());
}

TEST_F(CollapseSplitterTest, ButtonCollapsesTheLowerBlockAndRestoresIt) {
    const QList<int> before = splitter.sizes();
    QTest::mouseClick(splitter.collapseButton(), Qt::LeftButton);
    EXPECT_TRUE(splitter.isCollapsed());
    EXPECT_EQ(splitter.sizes().value(1), 0);
    EXPECT_EQ(splitter.sizes().value(0), before[0] + before[1]);

    QTest::mouseClick(splitter.collapseButton(), Qt::LeftButton);
    EXPECT_FALSE(splitter.isCollapsed());
    EXPECT_EQ(splitter.sizes(), before);
}

TEST_F(CollapseSplitterTest, DraggingKeepsBothMinimumHeights) {
    drag(-1000);
    EXPECT_EQ(splitter.sizes().value(0), 335);
    drag(+1000);
    EXPECT_EQ(splitter.sizes().value(1), 100);
    EXPECT_FALSE(splitter.isCollapsed());
    drag(-50);
    EXPECT_EQ(splitter.sizes().value(1), 150);
}

TEST_F(CollapseSplitterTest, DraggingOutOfTheCollapsedStateRestoresTheBlock) {
    splitter.setCollapsed(true);
    ASSERT_EQ(splitter.sizes().value(1), 0);
    drag(-200);
    EXPECT_FALSE(splitter.isCollapsed());
    EXPECT_GE(splitter.sizes().value(1), 100);
}

TEST(DatePicker, KeepsTheTimeOfDayAndShowsAFourDigitYear) {
    DatePicker picker;
    const QDateTime value(QDate(2018, 3, 1), QTime(10, 36, 19));
    picker.setDateTime(value);
    EXPECT_EQ(picker.dateTime(), value);
    EXPECT_TRUE(picker.calendarPopup());
    EXPECT_TRUE(picker.text().contains(QStringLiteral("2018"))) << qPrintable(picker.text());
    EXPECT_FALSE(picker.text().contains(QStringLiteral("10:36")));

    EXPECT_EQ(DatePicker::shortDateFormat(QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(DatePicker::shortDateFormat(QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("dd.MM.yyyy"));
}

TEST(DatePicker, ChangingTheDateKeepsTheTimeOfDay) {
    DatePicker picker;
    picker.setDateTime(QDateTime(QDate(2018, 3, 1), QTime(10, 36, 19)));
    picker.setFocus();
    picker.stepBy(1);
    EXPECT_EQ(picker.time(), QTime(10, 36, 19));
    EXPECT_NE(picker.date(), QDate(2018, 3, 1));
}

TEST(DatePicker, AClickIntoASectionSelectsItSoATypedYearReplacesTheYear) {
    DatePicker picker;
    picker.setDateTime(QDateTime(QDate(2018, 3, 1), QTime(10, 36, 19)));
    picker.resize(160, picker.sizeHint().height());
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    QLineEdit* edit = picker.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    const qsizetype year = picker.text().indexOf(QStringLiteral("2018"));
    ASSERT_GE(year, 0) << qPrintable(picker.text());
    // Inside the year, where a person would click.
    int x = 0;
    while (x < edit->width() && edit->cursorPositionAt(QPoint(x, edit->height() / 2)) < year + 2)
        ++x;
    ASSERT_LT(x, edit->width());
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, edit->height() / 2));
    QTest::qWait(1);
    EXPECT_EQ(picker.currentSection(), QDateTimeEdit::YearSection);
    QTest::keyClicks(&picker, QStringLiteral("2022"));
    EXPECT_EQ(picker.date(), QDate(2022, 3, 1));
    EXPECT_EQ(picker.time(), QTime(10, 36, 19));
}

TEST(DatePicker, TabLeavesTheControl) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* picker = new DatePicker(&window);
    auto* after = new QLineEdit(&window);
    QWidget::setTabOrder(before, picker);
    QWidget::setTabOrder(picker, after);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    picker->setFocus();
    ASSERT_TRUE(picker->hasFocus());
    QTest::keyClick(picker, Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(before->hasFocus());
}

class SkinEngineTest : public ::testing::Test {
protected:
    QWidget window;
    SkinEngine skin{&window};
    TempTree tree;
};

TEST_F(SkinEngineTest, StartsOffWithTheBuiltInSheetAndSwitchesAtOnce) {
    EXPECT_FALSE(skin.isActive());
    EXPECT_EQ(skin.styleSheet(), SkinEngine::builtInSheet());
    EXPECT_TRUE(skin.skinFile().isEmpty());
    EXPECT_FALSE(SkinEngine::builtInSheet().trimmed().isEmpty());

    skin.setActive(true);
    EXPECT_TRUE(skin.isActive());
    EXPECT_EQ(window.styleSheet(), SkinEngine::builtInSheet());
    skin.setActive(false);
    EXPECT_TRUE(window.styleSheet().isEmpty());
}

TEST_F(SkinEngineTest, SkinFileReplacesTheSheetAndTellsSo) {
    const QByteArray sheet = "QWidget { color: #123456; } /* grün */\n";
    tree.makeFile("myskin.skn", sheet);
    QSignalSpy changed(&skin, &SkinEngine::skinChanged);
    skin.setActive(true);
    skin.loadFromFile(tree.root() + QStringLiteral("/myskin.skn"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(skin.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(skin.skinFile(), tree.root() + QStringLiteral("/myskin.skn"));
    EXPECT_EQ(window.styleSheet(), QString::fromUtf8(sheet)); // on already, so taken at once
}

TEST_F(SkinEngineTest, UnreadableFileThrowsNamingTheFileAndKeepsTheSheet) {
    tree.makeFile("latin1.skn", QByteArray("QLabel { color: red; } /* gr\xfcn */"));
    tree.makeLink("/proc/self/mem", "io-error.skn"); // a regular file whose first read fails
    tree.makeDir("folder.skn");
    for (const char* name : {"latin1.skn", "io-error.skn", "folder.skn", "missing.skn"}) {
        const QString path = tree.root() + QLatin1Char('/') + QString::fromUtf8(name);
        try {
            skin.loadFromFile(path);
            ADD_FAILURE() << name << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(path)) << e.what();
        }
        EXPECT_EQ(skin.styleSheet(), SkinEngine::builtInSheet()) << name;
        EXPECT_TRUE(skin.skinFile().isEmpty()) << name;
    }
}

} // namespace
