#include "platform/ContentHash.h"
#include "platform/FileDataCopier.h"
#include "platform/FileName.h"
#include "platform/TransferBatch.h"
#include "support/FileProbe.h"
#include "support/KillMidway.h"
#include "support/TempTree.h"

#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using platform::ConflictAnswer;
using platform::FileOpHooks;
using platform::FileOpResult;
using platform::FileOpStatus;
using platform::TransferBatch;

QByteArray pattern(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 131) >> 3);
    return data;
}

class TransferBatchTest : public ::testing::Test {
protected:
    QString path(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }
    TransferBatch::ResultSink recorder() {
        return [this](const QString& source, const FileOpResult& result) {
            static const char* const names[] = {"done", "skipped", "cancelled", "failed"};
            reported.append(QFileInfo(source).fileName() + QLatin1Char(' ') + QLatin1String(names[int(result.status)]));
        };
    }

    TempTree tree;
    QStringList reported; // "name status", in the order the batch told them
};

TEST_F(TransferBatchTest, CopiesGetTheirNamesOnlyWhenTheBatchFlushesThem) {
    for (const char* name : {"a", "b", "c"})
        tree.makeFile(std::string("src/") + name, name);
    tree.makeDir("dst");
    TransferBatch batch(TransferBatch::Kind::Copy, recorder());
    batch.setLimits(2, qint64(1) << 30);

    batch.add(path("src/a"), path("dst/a"));
    EXPECT_TRUE(namesIn(tree.abs("dst")).isEmpty());
    EXPECT_TRUE(reported.isEmpty());
    // The second file fills the batch, which flushes by itself.
    batch.add(path("src/b"), path("dst/b"));
    EXPECT_EQ(namesIn(tree.abs("dst")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    batch.add(path("src/c"), path("dst/c"));
    EXPECT_EQ(namesIn(tree.abs("dst")).size(), 2);
    batch.finish();
    EXPECT_EQ(contentOf(tree.abs("dst/c")), QByteArray("c"));
    EXPECT_EQ(reported, (QStringList{QStringLiteral("a done"), QStringLiteral("b done"), QStringLiteral("c done")}));
}

TEST_F(TransferBatchTest, ATargetStillWaitingIsPublishedBeforeTheQuestion) {
    tree.makeFile("x/same.txt", "from x");
    tree.makeFile("y/same.txt", "from y");
    tree.makeDir("dst");
    QStringList asked;
    FileOpHooks hooks;
    hooks.onConflict = [&asked](const QString& source, const QString&) {
        asked.append(source);
        return ConflictAnswer::Skip;
    };
    TransferBatch batch(TransferBatch::Kind::Copy, recorder());
    batch.add(path("x/same.txt"), path("dst/same.txt"), hooks);
    batch.add(path("y/same.txt"), path("dst/same.txt"), hooks);
    batch.finish();
    EXPECT_EQ(asked, QStringList{path("y/same.txt")});
    EXPECT_EQ(contentOf(tree.abs("dst/same.txt")), QByteArray("from x"));
    EXPECT_EQ(reported, (QStringList{QStringLiteral("same.txt done"), QStringLiteral("same.txt skipped")}));
}

TEST_F(TransferBatchTest, ACancelledLargeCopyLeavesNoFileAndTheFilesBeforeItArrive) {
    tree.makeFile("src/small.txt", "small");
    tree.makeFile("src/large.bin", pattern(16 * 1024 * 1024));
    tree.makeDir("dst");
    TransferBatch batch(TransferBatch::Kind::Copy, recorder());
    EXPECT_TRUE(batch.add(path("src/small.txt"), path("dst/small.txt")));
    FileOpHooks cancelling;
    cancelling.onProgress = [](qint64 done, qint64) { return done < 4 * 1024 * 1024; };
    EXPECT_FALSE(batch.add(path("src/large.bin"), path("dst/large.bin"), cancelling));
    EXPECT_EQ(reported, QStringList{QStringLiteral("large.bin cancelled")});
    batch.finish();
    EXPECT_EQ(namesIn(tree.abs("dst")), QStringList{QStringLiteral("small.txt")});
    EXPECT_EQ(reported.last(), QStringLiteral("small.txt done"));
}

TEST_F(TransferBatchTest, AKilledCommandLeavesNoneOfItsWaitingFiles) {
    tree.makeFile("src/small.txt", "small");
    tree.makeSparse("src/large.bin", 64 * 1024 * 1024);
    tree.makeDir("dst");
    EXPECT_TRUE(killedMidway([&](const std::function<void()>& here) {
        TransferBatch batch(TransferBatch::Kind::Copy, [](const QString&, const FileOpResult&) {});
        batch.add(path("src/small.txt"), path("dst/small.txt"));
        FileOpHooks hooks;
        hooks.onProgress = [&here](qint64, qint64) {
            here();
            return true;
        };
        batch.add(path("src/large.bin"), path("dst/large.bin"), hooks);
    }));
    EXPECT_TRUE(namesIn(tree.abs("dst")).isEmpty()) << qPrintable(namesIn(tree.abs("dst")).join(QLatin1Char(' ')));
}

TEST(FileDataCopier, TheKernelCopyAndTheReadWriteLoopMakeTheSameCopy) {
    TempTree tree;
    const QByteArray data = pattern(3 * 1024 * 1024 + 17);
    tree.makeFile("src.bin", data);
    platform::ContentHash expected;
    expected.add(data.constData(), data.size());
    const struct {
        const char* what;
        bool kernelCopy;
        bool hashed;
    } cases[] = {{"kernel", true, false}, {"loop", false, false}, {"hashed", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int in = ::open(tree.abs("src.bin").c_str(), O_RDONLY);
        const int out = ::open(tree.abs(c.what).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(in, 0);
        ASSERT_GE(out, 0);
        platform::FileDataCopier copier;
        copier.setKernelCopyAllowed(c.kernelCopy);
        platform::ContentHash hash;
        const auto result = copier.copy(in, out, {}, c.hashed ? &hash : nullptr);
        EXPECT_EQ(result.error, 0);
        EXPECT_EQ(result.size, data.size());
        // The loop is what runs where the kernel refuses, and what a hashed copy needs.
        if (!c.kernelCopy || c.hashed) {
            EXPECT_FALSE(result.usedKernelCopy);
        }
        if (c.hashed) {
            EXPECT_EQ(hash.value(), expected.value());
        }
        platform::ContentHash back;
        EXPECT_EQ(copier.hashContent(out, back), data.size());
        EXPECT_EQ(back.value(), expected.value());
        ::close(in);
        ::close(out);
        EXPECT_EQ(contentOf(tree.abs(c.what)), data);
    }
}

} // namespace
