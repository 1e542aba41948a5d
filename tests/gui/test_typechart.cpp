#include "support/FailingDevice.h"
#include "support/FileProbe.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"
#include "support/Utf8.h"
#include "support/WriteFault.h"
#include "views/TypeChartColors.h"
#include "views/TypeChartPicture.h"
#include "views/TypeChartView.h"
#include "views/TypeChartWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTextItem>
#include <QToolTip>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a painting drew: its texts with the pen they had, and the rectangles it filled.
struct Drawing {
    struct Text {
        QString text;
        QColor pen;
        QPointF at;
    };
    struct Fill {
        QRectF rect;
        QColor color;
    };
    QList<Text> texts;
    QList<Fill> fills;

    QStringList textList() const {
        QStringList out;
        for (const Text& t : texts)
            out.append(t.text);
        return out;
    }
};

class RecordingEngine : public QPaintEngine {
public:
    explicit RecordingEngine(Drawing& drawing) : QPaintEngine(AllFeatures), m_drawing(drawing) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & DirtyPen)
            m_pen = state.pen().color();
        if (state.state() & DirtyBrush)
            m_brush = state.brush().color();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        m_drawing.texts.append({item.text(), m_pen, p});
    }
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i)
            m_drawing.fills.append({rects[i], m_brush});
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i)
            m_drawing.fills.append({QRectF(rects[i]), m_brush});
    }
    Type type() const override { return User; }

private:
    Drawing& m_drawing;
    QColor m_pen, m_brush;
};

class RecordingDevice : public QPaintDevice {
public:
    explicit RecordingDevice(QSize size) : m_size(size), m_engine(drawing) {}
    Drawing drawing;
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return qApp->primaryScreen() ? int(qApp->primaryScreen()->logicalDotsPerInch()) : 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        case PdmDepth:
            return 32;
        default:
            return QPaintDevice::metric(m);
        }
    }

private:
    QSize m_size;
    mutable RecordingEngine m_engine;
};

Drawing drawPicture(const TypeChartView& chart) {
    RecordingDevice device(chart.pictureSize());
    QPainter painter(&device);
    chart.paintPicture(painter, chart.pictureSize());
    painter.end();
    return device.drawing;
}

// One big type, one middling, one small but roomy enough, and a tail too small for tiles.
QList<TypeTotal> mixedTypes() {
    QList<TypeTotal> types{{u(".pdf"), u("PDF document"), 12, 600 * 1024 * 1024},
                           {u(".txt"), u("plain text document"), 30, 250 * 1024 * 1024},
                           {QString(), u("File"), 2, 60 * 1024 * 1024}};
    for (int i = 0; i < 40; ++i)
        types.append({u(".t%1").arg(i), u("T%1 File").arg(i), 1, 1536 * 1024});
    return types;
}

class TypeChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(640, 480);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.saveDialog = [this] { return dialogAnswer; };
        window.showError = [this](const QString& message) { errors.append(message); };
    }

    TypeChartView& chart() { return *window.chart(); }
    QWidget* viewport() { return chart().viewport(); }
    QPoint centreOfTypeTile(const QString& type) {
        const TreemapLayout& layout = chart().tileLayout();
        for (int k = 0; k < layout.shown.size(); ++k)
            if (chart().types()[layout.shown[k]].type == type)
                return tilePixels(layout.tiles[k]).center();
        ADD_FAILURE() << "no tile for " << type.toStdString();
        return {};
    }
    QPoint centreOfGatheredTile() { return tilePixels(chart().tileLayout().gatheredTile).center(); }

    TypeChartWindow window;
    QString dialogAnswer;
    QStringList errors;
    TempTree tree;
};

TEST_F(TypeChartTest, IsAWindowOfItsOwnThatClosesWithItsParentsWindow) {
    QWidget main;
    auto* own = new TypeChartWindow(&main);
    main.show();
    own->show();
    EXPECT_TRUE(own->isWindow());
    EXPECT_FALSE(own->isModal());
    EXPECT_TRUE(own->isVisible());
    main.close();
    EXPECT_FALSE(own->isVisible());
}

TEST_F(TypeChartTest, OpensOverItsParentAndClosesWithEscapeOrCtrlW) {
    QWidget main;
    main.setGeometry(200, 150, 900, 700);
    auto* own = new TypeChartWindow(&main);
    main.show();
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        own->show();
        own->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(own));
        EXPECT_TRUE(main.frameGeometry().contains(own->frameGeometry().center()));
        QTest::keySequence(own, keys);
        EXPECT_FALSE(own->isVisible()) << qPrintable(keys.toString());
        EXPECT_TRUE(main.isVisible());
    }
}

TEST_F(TypeChartTest, AnEmptySummaryShowsNoFilesAndOffersNoPicture) {
    window.setTypes(mixedTypes());
    EXPECT_TRUE(window.saveButton()->isEnabled());
    window.setTypes({});
    EXPECT_FALSE(window.saveButton()->isEnabled());
    EXPECT_EQ(chart().itemAt(viewport()->rect().center()), TypeChartView::Nothing);
    const Drawing drawing = drawPicture(chart());
    EXPECT_EQ(drawing.textList(), QStringList{u("No files")});
    window.barsButton()->click();
    EXPECT_EQ(drawPicture(chart()).textList(), QStringList{u("No files")});
}

TEST_F(TypeChartTest, TilesAreLabelledWithTypeAndSizeWhereTheLabelFitsAndTheTailIsGathered) {
    QList<TypeTotal> types = mixedTypes();
    types.append({u(".") + QString(200, u'y'), QString(), 1, 20 * 1024 * 1024});
    window.setTypes(types);
    const TreemapLayout& layout = chart().tileLayout();
    EXPECT_EQ(layout.shown, (QList<int>{0, 1, 2, 43}));
    EXPECT_EQ(layout.gathered.size(), 40);
    // The long name's tile is too narrow for its label.
    const QStringList texts = drawPicture(chart()).textList();
    EXPECT_EQ(texts, (QStringList{u(".pdf"), u("600 MB"), u(".txt"), u("250 MB"), u("(no extension)"), u("60 MB"),
                                  u("Other (40 types)"), u("60 MB")}));
    for (const QString& t : texts)
        EXPECT_FALSE(t.contains(QRegularExpression(u("^\\.t\\d")))) << t.toStdString();
}

TEST_F(TypeChartTest, ColoursAreFixedPerTypeAndTextAndBackgroundFollowThePalette) {
    // Fixed values: a per-process hash seed would change them from run to run.
    EXPECT_EQ(typeChartColor(u(".pdf")).name(), typeChartColor(u(".PDF")).name());
    EXPECT_EQ(typeChartColor(u(".pdf")).name(), u("#6b9ac4"));
    EXPECT_EQ(typeChartColor(QString()).name(), u("#f28e2b"));
    QSet<QString> colours;
    for (int i = 0; i < 60; ++i)
        colours.insert(typeChartColor(u(".x%1").arg(i)).name());
    EXPECT_GE(colours.size(), 10);

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x24));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    window.setPalette(dark);
    window.setTypes(mixedTypes());
    window.barsButton()->click();
    const Drawing drawing = drawPicture(chart());
    ASSERT_FALSE(drawing.fills.isEmpty());
    EXPECT_EQ(drawing.fills.first().color, dark.color(QPalette::Window));
    EXPECT_EQ(drawing.fills.first().rect, QRectF(QPointF(0, 0), QSizeF(chart().pictureSize())));
    ASSERT_FALSE(drawing.texts.isEmpty());
    for (const Drawing::Text& t : drawing.texts)
        EXPECT_EQ(t.pen, dark.color(QPalette::WindowText)) << t.text.toStdString();
    bool pdfBar = false;
    for (const Drawing::Fill& f : drawing.fills)
        pdfBar = pdfBar || f.color == typeChartColor(u(".pdf"));
    EXPECT_TRUE(pdfBar);
}

TEST(TypeChartColors, TileLabelsTakeBlackOrWhiteByTheHigherContrast) {
    // The middle red and brown of the palette: black has 5.7:1 and 5.1:1 on them, white 3.7:1 and 4.1:1.
    EXPECT_EQ(typeChartLabelColor(QColor(0xe1, 0x57, 0x59)), QColor(Qt::black));
    EXPECT_EQ(typeChartLabelColor(QColor(0x9c, 0x75, 0x5f)), QColor(Qt::black));
    EXPECT_EQ(typeChartLabelColor(typeChartGatheredColor()), QColor(Qt::black));
    EXPECT_EQ(typeChartLabelColor(QColor(0x2b, 0x4c, 0x8c)), QColor(Qt::white));
    // The greys either side of equal contrast.
    EXPECT_EQ(typeChartLabelColor(QColor(0x75, 0x75, 0x75)), QColor(Qt::white));
    EXPECT_EQ(typeChartLabelColor(QColor(0x76, 0x76, 0x76)), QColor(Qt::black));
}

TEST_F(TypeChartTest, BarsComeLargestFirstWithSizeCountAndShare) {
    window.setTypes({{u(".a"), u("A"), 1, 100},
                     {u(".b"), u("B"), 3, 300},
                     {u(".c"), u("C"), 2, 100},
                     {u(".d"), u("D"), 0, 0},
                     {u(".e"), u("E"), 4, 500}});
    window.barsButton()->click();
    EXPECT_EQ(chart().mode(), TypeChartView::Mode::Bars);
    EXPECT_EQ(chart().barOrder(), (QList<int>{4, 1, 0, 2, 3}));
    EXPECT_EQ(drawPicture(chart()).textList(),
              (QStringList{u(".e"), u("0.49 KB, 4 files, 50.0 %"), u(".b"), u("0.29 KB, 3 files, 30.0 %"), u(".a"),
                           u("0.1 KB, 1 file, 10.0 %"), u(".c"), u("0.1 KB, 2 files, 10.0 %"), u(".d"),
                           u("0 KB, 0 files, 0.0 %")}));
    EXPECT_EQ(chart().itemAt(chart().barRowRect(1).center()), 1);
    window.barsButton()->click();
    EXPECT_EQ(chart().mode(), TypeChartView::Mode::Tiles);
}

TEST_F(TypeChartTest, APictureTooLowForEveryBarCountsTheRest) {
    QList<TypeTotal> many;
    for (int i = 0; i < 2000; ++i)
        many.append({u(".m%1").arg(i), QString(), 1, 2000 - i});
    window.setTypes(many);
    window.barsButton()->click();
    EXPECT_EQ(chart().pictureSize().height(), TypeChartView::MaxPictureHeight);
    const QStringList texts = drawPicture(chart()).textList();
    ASSERT_FALSE(texts.isEmpty());
    const int shown = int(texts.size() - 1) / 2;
    EXPECT_EQ(texts.last(), u("and %1 more types").arg(2000 - shown));
    EXPECT_EQ(texts.at(texts.size() - 3), u(".m%1").arg(shown - 1));
}

TEST_F(TypeChartTest, HoveringATileShowsTheTypesDetailsAsWritten) {
    QList<TypeTotal> types = mixedTypes();
    types[0].type = u(".<b>&x");
    window.setTypes(types);
    EXPECT_EQ(chart().itemText(0), u("<p style=\"white-space:pre\"><b>.&lt;b&gt;&amp;x</b><br>PDF document<br>12 "
                                     "files<br>600 MB, 61.9 % of 970 MB</p>"));
    EXPECT_EQ(chart().itemText(TypeChartView::Gathered),
              u("<p style=\"white-space:pre\"><b>Other (40 types)</b><br>40 files<br>60 MB, 6.2 %<br>Double "
                "click to see them as bars</p>"));

    const QPoint at = centreOfTypeTile(u(".txt"));
    QHelpEvent help(QEvent::ToolTip, at, viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport(), &help);
    EXPECT_EQ(QToolTip::text(), chart().itemText(1));
    QToolTip::hideText();
}

TEST_F(TypeChartTest, DoubleClickingATypeActivatesItAndTheGatheredTileOpensTheBars) {
    window.setTypes(mixedTypes());
    QSignalSpy activated(&window, &TypeChartWindow::typeActivated);
    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, centreOfTypeTile(QString()));
    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, centreOfTypeTile(u(".pdf")));
    ASSERT_EQ(activated.size(), 2);
    EXPECT_EQ(activated[0][0].toString(), QString());
    EXPECT_EQ(activated[1][0].toString(), u(".pdf"));

    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, centreOfGatheredTile());
    EXPECT_EQ(activated.size(), 2);
    EXPECT_EQ(chart().mode(), TypeChartView::Mode::Bars);
    EXPECT_TRUE(window.barsButton()->isChecked());
    // The first gathered type's bar is the first row in sight.
    const int firstGathered = chart().tileLayout().gathered.first();
    EXPECT_EQ(chart().barOrder()[3], firstGathered);
    EXPECT_GT(chart().verticalScrollBar()->value(), 0);
    EXPECT_EQ(chart().itemAt(QPoint(20, chart().barRowRect(3).center().y())), firstGathered);
    EXPECT_LT(chart().barRowRect(3).top(), chart().barRowRect(0).height());

    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, chart().barRowRect(3).center());
    ASSERT_EQ(activated.size(), 3);
    EXPECT_EQ(activated[2][0].toString(), chart().types()[firstGathered].type);
}

TEST_F(TypeChartTest, ANewSummaryReplacesTheChart) {
    window.setTypes(mixedTypes());
    window.setTypes({{u(".new"), u("New"), 1, 10}});
    EXPECT_EQ(chart().itemAt(viewport()->rect().center()), 0);
    EXPECT_EQ(chart().types().size(), 1);
    EXPECT_EQ(drawPicture(chart()).textList(), (QStringList{u(".new"), u("0.01 KB")}));
}

TEST_F(TypeChartTest, SavesThePictureAsPngOrSvgByItsName) {
    window.setTypes(mixedTypes());
    dialogAnswer = tree.root() + u("/chart.PNG");
    window.saveButton()->click();
    QImage png;
    ASSERT_TRUE(png.load(dialogAnswer, "PNG"));
    EXPECT_EQ(png.size(), chart().pictureSize());
    const QPoint pdf = centreOfTypeTile(u(".pdf"));
    EXPECT_EQ(QColor(png.pixel(pdf)), typeChartColor(u(".pdf")));

    dialogAnswer = tree.root() + u("/chart.svg");
    window.saveButton()->click();
    QFile svg(dialogAnswer);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray bytes = svg.readAll();
    EXPECT_TRUE(bytes.contains("<svg")) << bytes.left(200).toStdString();
    EXPECT_TRUE(bytes.contains(">.pdf<"));
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files), (QStringList{u("chart.PNG"), u("chart.svg")}));

    dialogAnswer.clear(); // cancelled
    window.saveButton()->click();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(TypeChartTest, AFailedSaveIsReportedWithItsReasonAndKeepsTheOldFile) {
    window.setTypes(mixedTypes());
    dialogAnswer = tree.root() + u("/missing/chart.png");
    window.saveButton()->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(u("Cannot save the picture: "))) << errors[0].toStdString();
    EXPECT_GT(errors[0].size(), 25);

    tree.makeDir("small");
    SmallTmpfs small(tree.abs("small"), 64);
    if (!small.isMounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    tree.makeFile("small/chart.svg", "old");
    QList<TypeTotal> many;
    for (int i = 0; i < 1000; ++i)
        many.append({u(".m%1").arg(i), QString(), 1, 1000 + i});
    window.setTypes(many);
    window.barsButton()->click();
    dialogAnswer = tree.root() + u("/small/chart.svg");
    window.saveButton()->click();
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[1], u("Cannot save the picture: No space left on device"));
    QFile old(dialogAnswer);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(tree.root() + u("/small")).entryList(QDir::Files), QStringList{u("chart.svg")});
}

TEST_F(TypeChartTest, ASmallPictureThatCannotBeFlushedIsReportedAndAFifoIsWrittenInPlace) {
    window.setTypes(mixedTypes());
    tree.makeFile("chart.png", "old");
    dialogAnswer = tree.root() + u("/chart.png");
    for (const platform::WriteStep step : {platform::WriteStep::Flush, platform::WriteStep::Sync}) {
        const WriteFault fault(step, 1, EIO);
        window.saveButton()->click();
    }
    EXPECT_EQ(errors, QStringList(2, u("Cannot save the picture: Input/output error")));
    EXPECT_EQ(contentOf(tree.abs("chart.png")), QByteArray("old"));
    EXPECT_EQ(namesIn(tree.rootBytes()), QStringList{u("chart.png")});

    ASSERT_EQ(::mkfifo(tree.abs("fifo.png").c_str(), 0644), 0);
    dialogAnswer = tree.root() + u("/fifo.png");
    window.saveButton()->click();
    EXPECT_EQ(errors.value(2), u("Cannot save the picture: No program reads from the FIFO"));
    const int reader = ::open(tree.abs("fifo.png").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    window.saveButton()->click();
    QByteArray got(1 << 16, '\0');
    got.truncate(std::max<ssize_t>(0, ::read(reader, got.data(), size_t(got.size()))));
    ::close(reader);
    EXPECT_EQ(errors.size(), 3);
    EXPECT_TRUE(got.startsWith("\x89PNG")) << got.left(8).toHex().toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(tree.abs("fifo.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(TypeChartTest, ARefusedWriteIsAFailureWithTheDevicesReason) {
    window.setTypes(mixedTypes());
    EXPECT_EQ(pictureFormatFor(u("/a/b.Svg")), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatFor(u("/a/svg")), PictureFormat::Png);
    for (PictureFormat format : {PictureFormat::Png, PictureFormat::Svg}) {
        FailingDevice device(100);
        QString error;
        EXPECT_FALSE(writeChartPicture(chart(), format, device, &error));
        EXPECT_EQ(error, u("No space left on device"));
        EXPECT_EQ(device.written().size(), 100);
    }
}

} // namespace
