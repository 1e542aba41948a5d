#include "platform/FileName.h"
#include "text/FileHelpers.h"
#include "walk/FolderWalker.h"
#include "support/FileProbe.h"
#include "support/FileRights.h"
#include "support/TempTree.h"

#include <QDir>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <tuple>
#include <unistd.h>

namespace {

class TestHost : public ScanHost {
public:
    void pump() override {
        ++pumps;
        if (onPump)
            onPump(*this);
    }
    ScanOptions options() const override { return opts; }
    void showProgress(const WalkProgress& p) override {
        progress = p;
        folder = p.folder;
        progress.folder = {}; // valid during the call only
        if (onProgress)
            onProgress(p);
    }

    ScanOptions opts;
    std::function<void(TestHost&)> onPump;
    std::function<void(const WalkProgress&)> onProgress;
    int pumps = 0;
    WalkProgress progress; // the last one handed over
    std::string folder;
};

class Walk : public ::testing::Test {
protected:
    void SetUp() override { state = {}; }

    void run(WalkMode mode, bool recurse = true, const QString& root = QString(), const QString& type = QString()) {
        dataList.clear();
        indexList.Clear();
        fileList.clear();
        FolderWalker walker(host, state, dataList, indexList, fileList);
        walker.setPumpInterval(std::chrono::nanoseconds(0));
        walker.ScanFolder(root.isEmpty() ? tree.root() : root, recurse, mode, type);
    }
    void list(const QString& type, bool recurse = true) { run(WalkMode::ListType, recurse, QString(), type); }

    // Found files relative to the root, in walk order.
    QStringList found() const {
        QStringList out;
        for (const TFileRec& f : fileList)
            out << f.FileName.mid(tree.root().size() + 1);
        return out;
    }

    // Types as "ext count size", in the order of the index.
    QStringList types() const {
        QStringList out;
        for (const tDataIndex& i : indexList) {
            const TDataRec& r = dataList[size_t(i.Index)];
            out << QStringLiteral("%1 %2 %3").arg(r.Ext).arg(r.Count).arg(r.Size);
        }
        return out;
    }

    TempTree tree;
    TestHost host;
    RunState state;
    TDataList dataList;
    TDataIndexList indexList;
    TFileList fileList;
};

TEST_F(Walk, CountsTypesInFirstMetOrderKeyedWithoutCase) {
    tree.makeFile("b/Report.TXT", "12345");
    tree.makeFile("a.txt", "1");
    tree.makeFile("c/notes.txt", "123");
    tree.makeFile("c/README", "12");
    tree.makeFile("c/x.tar.gz", "1234");
    tree.makeFile("Makefile", "");
    run(WalkMode::CountTypes);
    // Depth-first, pre-order: a.txt, b/ (Report.TXT), c/ (notes.txt, README, x.tar.gz), Makefile.
    // The root holds 6 entries with its dots, b 3 and c 5.
    EXPECT_EQ(types(), QStringList({QStringLiteral(".txt 3 9"), QStringLiteral(" 2 2"), QStringLiteral(".gz 1 4")}))
        << types().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(state.TotalFiles, 6);
    EXPECT_EQ(host.progress.totalFiles, 6);
    EXPECT_TRUE(fileList.empty());
    EXPECT_EQ(state.EntryCount, 14);
    EXPECT_EQ(host.progress.settledEntries, 14);
    EXPECT_EQ(host.progress.rows, 0);
}

TEST_F(Walk, AFolderWithOnlyDotsCountsTwoEntries) {
    run(WalkMode::CountTypes);
    EXPECT_EQ(state.EntryCount, 2);
    EXPECT_TRUE(dataList.empty());
}

TEST_F(Walk, ExcludesHiddenAndSystemFilesButEntersHiddenFolders) {
    tree.makeFile(".hidden.txt");
    tree.makeFile(".secret/visible.txt");
    ASSERT_EQ(::mkfifo(tree.abs("pipe").c_str(), 0644), 0);
    tree.makeFile("plain.txt");
    host.opts.nameMask.on = true;
    host.opts.nameMask.mask = QStringLiteral("*");
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral(".secret/visible.txt"), QStringLiteral("plain.txt")}));

    host.opts.excludeHidden = false;
    run(WalkMode::Criteria);
    EXPECT_EQ(found().size(), 3);
    host.opts.excludeSystem = false;
    run(WalkMode::Criteria);
    EXPECT_EQ(found().size(), 4);
}

TEST_F(Walk, AttributeRequirementNeedsOneOfTheTickedBits) {
    tree.makeFile("ro.txt");
    tree.setMode("ro.txt", 0444);
    tree.makeFile("rw.txt");
    tree.makeFile(".ro-hidden");
    tree.setMode(".ro-hidden", 0444);
    host.opts.attributes.on = true;
    host.opts.attributes.readOnly = true;
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("ro.txt")}));

    // Neither attribute ticked: nothing passes while an exclusion box is ticked...
    host.opts.attributes.readOnly = false;
    run(WalkMode::Criteria);
    EXPECT_TRUE(found().isEmpty());
    // ...and everything passes when both are clear.
    host.opts.excludeHidden = false;
    host.opts.excludeSystem = false;
    run(WalkMode::Criteria);
    EXPECT_EQ(found().size(), 3);

    host.opts.excludeHidden = true;
    host.opts.attributes.archive = true;
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("ro.txt"), QStringLiteral("rw.txt")}));
}

TEST_F(Walk, TypeAndNameMasks) {
    for (const char* n : {"a.txt", "b.doc", "c.TXT", "README", "d.txt.bak"})
        tree.makeFile(n);
    host.opts.typeMask.on = true;
    auto withTypeMask = [&](const char* mask) {
        host.opts.typeMask.mask = QString::fromUtf8(mask);
        run(WalkMode::Criteria);
        return found().join(QLatin1Char(','));
    };
    EXPECT_EQ(withTypeMask("*.txt;*.doc"), QStringLiteral("a.txt,b.doc,c.TXT"));
    EXPECT_EQ(withTypeMask("txt"), QString());
    EXPECT_EQ(withTypeMask("*.*"), QStringLiteral("a.txt,b.doc,c.TXT,d.txt.bak,README"));
    EXPECT_EQ(withTypeMask(""), QString());

    host.opts.typeMask.on = false;
    host.opts.nameMask.on = true;
    host.opts.nameMask.mask = QStringLiteral("?.txt*");
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("a.txt"), QStringLiteral("c.TXT"), QStringLiteral("d.txt.bak")}));
    host.opts.nameMask.mask = QString();
    run(WalkMode::Criteria);
    EXPECT_TRUE(found().isEmpty());
}

TEST_F(Walk, TypeMaskModeListsOneTypeAndTheEmptyTypeListsFilesWithoutExtension) {
    for (const char* n : {"a.txt", "b.TXT", "README", "sub/Makefile", "x."})
        tree.makeFile(n);
    list(QStringLiteral(".txt"));
    EXPECT_EQ(found(), QStringList({QStringLiteral("a.txt"), QStringLiteral("b.TXT")}));
    list(QString());
    EXPECT_EQ(found(), QStringList({QStringLiteral("README"), QStringLiteral("sub/Makefile")}));
    list(QStringLiteral("."));
    EXPECT_EQ(found(), QStringList({QStringLiteral("x.")}));
    EXPECT_EQ(host.progress.settledEntries, state.EntryCount);
    EXPECT_EQ(host.progress.rows, 1);
}

TEST_F(Walk, DateCriteriaCompareLocalDays) {
    // TZ=Europe/Berlin: 2020-05-03 22:30 UTC is 2020-05-04 00:30 local.
    tree.makeFile("early.txt", "", 1588545000);
    tree.makeFile("late.txt", "", 1588627800); // 2020-05-04 23:30 local
    tree.makeFile("next.txt", "", 1588631400); // 2020-05-05 00:30 local
    tree.makeFile("prev.txt", "", 1588541400); // 2020-05-03 23:30 local
    host.opts.modified.on = true;
    host.opts.modified.date = EncodeDateTime(2020, 5, 4, 10, 36, 19, 0);
    host.opts.modified.relation = DateRelation::Equal; // Equal to
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("early.txt"), QStringLiteral("late.txt")}));
    host.opts.modified.relation = DateRelation::After; // After
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("next.txt")}));
    host.opts.modified.relation = DateRelation::Before; // Before
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("prev.txt")}));
    host.opts.modified.relation = DateRelation::None; // typed text that is no item
    run(WalkMode::Criteria);
    EXPECT_TRUE(found().isEmpty());

    // Both dates ticked: both must hold. Files were created today, long after 2020.
    host.opts.modified.relation = DateRelation::Equal;
    host.opts.created.on = true;
    host.opts.created.date = EncodeDateTime(2020, 5, 4, 0, 0, 0, 0);
    host.opts.created.relation = DateRelation::After;
    run(WalkMode::Criteria);
    EXPECT_EQ(found().size(), 2);
    host.opts.created.relation = DateRelation::Before;
    run(WalkMode::Criteria);
    EXPECT_TRUE(found().isEmpty());
}

TEST_F(Walk, SizeCriterionInKilobytes) {
    for (int size : {0, 10, 11, 1013, 1014, 1034, 1035})
        tree.makeFile("f" + std::to_string(size), QByteArray(size, 'x'));
    host.opts.size.on = true;
    auto sizes = [&](double kb, int combo) {
        host.opts.size.kilobytes = kb;
        host.opts.size.relation = SizeRelation(combo);
        run(WalkMode::Criteria);
        return found().join(QLatin1Char(','));
    };
    EXPECT_EQ(sizes(1.0, 1), QStringLiteral("f1014,f1034"));
    EXPECT_EQ(sizes(0.0, 1), QStringLiteral("f0,f10"));
    EXPECT_EQ(sizes(0.0, 0), QStringLiteral("f1013,f1014,f1034,f1035,f11"));
    EXPECT_EQ(sizes(1.0, 2), QStringLiteral("f0,f10,f1013,f11"));
}

TEST_F(Walk, WithoutRecursionOnlyTheRootIsListed) {
    tree.makeFile("top.txt");
    tree.makeFile("sub/deep.txt");
    list(QStringLiteral(".txt"), false);
    EXPECT_EQ(found(), QStringList({QStringLiteral("top.txt")}));
    EXPECT_EQ(state.EntryCount, 4);
}

TEST_F(Walk, StopEndsTheWalkAtTheNextStopTestOnEveryLevel) {
    for (int i = 0; i < 5; ++i)
        tree.makeFile("a/b/c/f" + std::to_string(i) + ".txt");
    tree.makeFile("z.txt");
    // Pumps come before each entry: ".", "..", "a", then inside a: ".", "..", "b", ...
    host.onPump = [this](TestHost& h) {
        if (h.pumps == 14) // before the third file of a/b/c
            state.StopSearch = true;
    };
    list(QStringLiteral(".txt"));
    EXPECT_EQ(state.EntryCount, 14);
    EXPECT_EQ(found().size(), 3);
    // The stop test saw the flag; the progress settled where the last accepted file left it.
    EXPECT_EQ(host.progress.entries, 14);
    EXPECT_EQ(host.progress.settledEntries, 14);
    EXPECT_EQ(host.progress.rows, 3);
}

TEST_F(Walk, StopWhileEveryFileIsRejectedTakesEffectAtTheNextFolderEntry) {
    for (int i = 0; i < 5; ++i)
        tree.makeFile("a/.h" + std::to_string(i));
    tree.makeFile("b/visible.txt");
    host.onPump = [this](TestHost& h) {
        if (h.pumps == 6) // inside a, before the first hidden file
            state.StopSearch = true;
    };
    run(WalkMode::CountTypes);
    // The rejected files skip the stop test; the folder entry "a" reaches it after the nested walk.
    EXPECT_EQ(state.EntryCount, 3 + 7);
    EXPECT_TRUE(dataList.empty());
}

TEST_F(Walk, ProgressCountsEveryEntryAtOnceAndSettlesAtFinishedEntries) {
    for (int i = 0; i < 3; ++i)
        tree.makeFile("a/.h" + std::to_string(i));
    tree.makeFile("a/z.txt");
    using Seen = std::tuple<qint64, qint64, qint64, std::string>; // entries, settled, rows, folder
    std::vector<Seen> seen;
    host.onProgress = [&](const WalkProgress& p) {
        EXPECT_EQ(p.mode, WalkMode::ListType);
        seen.emplace_back(p.entries, p.settledEntries, p.rows, std::string(p.folder));
    };
    list(QStringLiteral(".txt"));
    // root: . .. a; a: . .. .h0 .h1 .h2 z.txt. Progress comes before each entry's pump and at the end.
    ASSERT_EQ(seen.size(), 10u);
    // Before z.txt: the hidden files are examined but left out, and "a" is finished only after its walk.
    EXPECT_EQ(seen[8], Seen(8, 5, 0, tree.abs("a")));
    EXPECT_EQ(seen[9], Seen(9, 9, 1, tree.rootBytes()));
}

TEST_F(Walk, OptionChangesApplyFromTheNextEntry) {
    for (int i = 0; i < 6; ++i)
        tree.makeFile("f" + std::to_string(i) + ".txt");
    host.opts.nameMask.on = true;
    host.opts.nameMask.mask = QStringLiteral("*");
    host.onPump = [](TestHost& h) {
        if (h.pumps == 5) // before the entry of f2.txt
            h.opts.nameMask.mask = QStringLiteral("nothing");
    };
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("f0.txt"), QStringLiteral("f1.txt")}));
}

TEST_F(Walk, LinksAreEntriesButNeverEntered) {
    tree.makeFile("real/a.txt");
    tree.makeLink("..", "real/loop");
    tree.makeLink("real", "alias");
    tree.makeLink("real/a.txt", "file-link.txt");
    host.opts.nameMask.on = true;
    host.opts.nameMask.mask = QStringLiteral("*");
    run(WalkMode::Criteria);
    EXPECT_EQ(found(), QStringList({QStringLiteral("file-link.txt"), QStringLiteral("real/a.txt")}));
    // root: . .. alias file-link.txt real; real: . .. a.txt loop
    EXPECT_EQ(state.EntryCount, 9);
}

TEST_F(Walk, AnUnlistableFolderContributesNothingAndStopsNothing) {
    tree.makeFile("a.txt");
    run(WalkMode::CountTypes, true, tree.root() + QStringLiteral("/missing"));
    EXPECT_EQ(state.EntryCount, 0);
    EXPECT_TRUE(dataList.empty());
    run(WalkMode::CountTypes, true, tree.root() + QStringLiteral("/a.txt"));
    EXPECT_EQ(state.EntryCount, 0);
}

TEST_F(Walk, UnreadableFoldersAreSkipped) {
    tree.makeFile("open/a.txt");
    tree.makeFile("closed/b.txt");
    tree.makeFile("z.txt");
    tree.setMode("closed", 0);
    WithoutFileRights noRights;
    list(QStringLiteral(".txt"));
    EXPECT_EQ(found(), QStringList({QStringLiteral("open/a.txt"), QStringLiteral("z.txt")}));
}

TEST_F(Walk, OddNamesComeBackAsTheSameBytes) {
    const std::vector<std::string> odd = {"bad\xff.txt",  "new\nline.txt",   "quote\"s.txt", "comma,s.txt",
                                          "-leading.txt", "caf\xc3\xa9.txt", "sp ace.txt"};
    for (const std::string& n : odd)
        tree.makeFile("d\xfe/" + n, "x");
    list(QStringLiteral(".txt"));
    ASSERT_EQ(fileList.size(), odd.size());
    for (const TFileRec& f : fileList) {
        const QByteArray bytes = platform::encodeFileName(f.FileName);
        EXPECT_EQ(::access(bytes.constData(), F_OK), 0) << bytes.constData();
    }
    run(WalkMode::CountTypes);
    EXPECT_EQ(types(), QStringList({QStringLiteral(".txt 7 7")}));
}

TEST_F(Walk, CountsSparseFilesBeyondFourGigabytes) {
    tree.makeSparse("huge.img", qint64(6) << 30);
    tree.makeSparse("small.img", 1);
    run(WalkMode::CountTypes);
    EXPECT_EQ(types(), QStringList({QStringLiteral(".img 2 %1").arg((qint64(6) << 30) + 1)}));
}

TEST_F(Walk, WalksAThousandLevelsWithoutHoldingDescriptors) {
    std::string rel;
    for (int i = 0; i < 1000; ++i)
        rel += (i ? "/d" : "d");
    tree.makeFile(rel + "/deep.txt");
    int deepest = 0;
    host.onPump = [&](TestHost&) { deepest = std::max(deepest, openDescriptors()); };
    const int before = openDescriptors();
    list(QStringLiteral(".txt"));
    EXPECT_EQ(found().size(), 1);
    EXPECT_EQ(state.EntryCount, 1000 * 3 + 2 + 1);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_LE(deepest, before + 1);
}

} // namespace
