#include "TestForms.h"
#include "app/try1.h"
#include "skin/SkinEngine.h"
#include "support/TempTree.h"
#include "support/Utf8.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyleHints>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Everything of a window's look that a style sheet can touch: the picture, and each widget's
// palette, font and own sheet.
struct Look {
    QImage picture;
    std::map<QString, QPalette> palettes;
    std::map<QString, QFont> fonts;
    std::map<QString, QString> sheets;
    std::map<QString, QRect> geometries;
};

Look lookOf(QWidget& window) {
    QApplication::processEvents(); // the layouts take the new sizes
    Look look;
    look.picture = window.grab().toImage();
    int i = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const QString key = QString::number(i++) + QString::fromLatin1(w->metaObject()->className()) + w->objectName();
        look.palettes[key] = w->palette();
        look.fonts[key] = w->font();
        look.sheets[key] = w->styleSheet();
        // Hidden widgets (the combo boxes' closed lists) lay themselves out when they are shown.
        if (w->isVisibleTo(&window))
            look.geometries[key] = w->geometry();
    }
    look.palettes[u("window")] = window.palette();
    look.fonts[u("window")] = window.font();
    look.sheets[u("window")] = window.styleSheet();
    return look;
}

void expectSameLook(const Look& a, const Look& b) {
    EXPECT_TRUE(a.picture == b.picture) << "the window is painted alike";
    EXPECT_TRUE(a.palettes == b.palettes);
    EXPECT_TRUE(a.fonts == b.fonts);
    EXPECT_TRUE(a.sheets == b.sheets);
    EXPECT_TRUE(a.geometries == b.geometries);
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A blinking cursor would make two pictures of the same look differ.
        flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        QGuiApplication::styleHints()->setCursorFlashTime(0);
    }
    void TearDown() override { QGuiApplication::styleHints()->setCursorFlashTime(flashTime); }

    std::unique_ptr<TForm1> makeForm(const QStringList& arguments = {}) {
        auto form = makeTestForm(tree.root(), &errors, arguments);
        form->Timer1->stop();
        form->TimeLabel->setText(u("."));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + u("/config"))};
    ScopedEnv data{"XDG_DATA_HOME", QFile::encodeName(tree.root() + u("/data"))};
    QStringList errors;
    int flashTime = 0;
};

TEST_F(SkinTest, SwitchingOffRestoresExactlyThePreviousLook) {
    auto form = makeForm();
    const Look plain = lookOf(*form);

    form->skinbox->setChecked(true);
    const Look skinned = lookOf(*form);
    EXPECT_FALSE(skinned.picture == plain.picture);
    EXPECT_EQ(form->styleSheet(), SkinEngine::builtInSheet());

    form->skinbox->setChecked(false);
    expectSameLook(lookOf(*form), plain);

    // And on again looks as it did the first time.
    form->skinbox->setChecked(true);
    EXPECT_TRUE(lookOf(*form).picture == skinned.picture);
    form->skinbox->setChecked(false);
    expectSameLook(lookOf(*form), plain);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SkinTest, AWindowSheetOfItsOwnComesBack) {
    auto form = makeForm();
    const QString own = u("QLabel#Label2 { color: #804000; }");
    form->setStyleSheet(own);
    const Look before = lookOf(*form);
    form->SkinData1->setActive(true);
    EXPECT_EQ(form->styleSheet(), SkinEngine::builtInSheet());
    form->SkinData1->setActive(false);
    EXPECT_EQ(form->styleSheet(), own);
    expectSameLook(lookOf(*form), before);
}

TEST_F(SkinTest, TheSkinThemesTheWholeWindow) {
    auto form = makeForm();
    std::vector<std::pair<QWidget*, QImage>> parts;
    const QList<QWidget*> widgets{form->Panel8,    form->Panel6,     form->Button1,
                                  form->HidBox,    form->RootDir,    form->ListView1,
                                  form->ListView2, form->TntButton1, form->HeaderControl1};
    for (QWidget* w : widgets)
        parts.emplace_back(w, w->grab().toImage());
    form->skinbox->setChecked(true);
    QApplication::processEvents();
    for (const auto& [widget, picture] : parts)
        EXPECT_FALSE(widget->grab().toImage() == picture) << qPrintable(widget->objectName()) << " looks unchanged";
}

TEST_F(SkinTest, EveryPictureTheBuiltInSheetNamesIsThere) {
    auto form = makeForm();
    const QRegularExpression url(u("url\\((:[^)]+)\\)"));
    int count = 0;
    for (const QRegularExpressionMatch& m : url.globalMatch(SkinEngine::builtInSheet())) {
        ++count;
        EXPECT_FALSE(QImage(m.captured(1)).isNull()) << qPrintable(m.captured(1));
    }
    EXPECT_GT(count, 5);
}

TEST_F(SkinTest, SkinFileIsUsedAndSwitchedLikeTheBuiltInOne) {
    tree.makeFile("myskin.skn", "QPushButton { background: #202020; color: #ffff00; }\n");
    auto form = makeForm();
    const Look plain = lookOf(*form);
    EXPECT_EQ(form->SkinData1->skinFile(), tree.root() + u("/myskin.skn"));
    EXPECT_FALSE(form->SkinData1->isActive()) << "loading a file does not switch the skin on";
    EXPECT_TRUE(form->styleSheet().isEmpty());

    form->skinbox->setChecked(true);
    EXPECT_EQ(form->styleSheet(), u("QPushButton { background: #202020; color: #ffff00; }\n"));
    form->skinbox->setChecked(false);
    expectSameLook(lookOf(*form), plain);
}

TEST_F(SkinTest, UnreadableSkinFileStartsThePlainWindowWithTheBoxClear) {
    tree.makeLink("/proc/self/mem", "myskin.skn");
    auto form = makeForm({u("/s")});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(tree.root() + u("/myskin.skn")));
    EXPECT_FALSE(form->skinbox->isChecked());
    EXPECT_FALSE(form->SkinData1->isActive());
    EXPECT_TRUE(form->styleSheet().isEmpty());
    // The built-in skin is still there to be switched on.
    form->skinbox->setChecked(true);
    EXPECT_EQ(form->styleSheet(), SkinEngine::builtInSheet());
}

TEST_F(SkinTest, ImagesThatAreNoRegularFilesAreNeverOpened) {
    // Opened for its picture, a FIFO would block the first paint for good; a hang ends the test.
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(tree.root() + u("/pic.png")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.root() + u("/pipe.png")).constData(), 0644), 0);
    tree.makeFile("myskin.skn", QStringLiteral("QPushButton { background-image: url(%1/pipe.png); }\n"
                                               "QLabel { background-image: url(\"%1/pic.png\"); }\n")
                                    .arg(tree.root())
                                    .toUtf8());
    ::alarm(60);
    auto form = makeForm({u("/s")});
    lookOf(*form);
    ::alarm(0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(form->SkinData1->isActive());
    EXPECT_FALSE(form->styleSheet().contains(u("pipe.png")));
    EXPECT_TRUE(form->styleSheet().contains(tree.root() + u("/pic.png"))) << "regular files stay";
}

} // namespace
