// The duplicate search on a thread of its own, asked from this one: progress, result, cancel, and
// a search dropped while it runs.

#include "duplicates/BackgroundDuplicateSearch.h"
#include "support/Gate.h"
#include "support/TempTree.h"

#include <QByteArray>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits until the search ends; false when it takes longer than a broken test should.
bool waitDone(const BackgroundDuplicateSearch& search) {
    for (int i = 0; i < 2000 && !search.isDone(); ++i)
        std::this_thread::sleep_for(5ms);
    return search.isDone();
}

QList<QByteArray> threeFiles(TempTree& tree) {
    QList<QByteArray> paths;
    for (const char* n : {"a", "b", "c"}) {
        tree.makeFile(n, n[0] == 'c' ? "other" : "equal");
        paths.append(QByteArray::fromStdString(tree.abs(n)));
    }
    return paths;
}

TEST(BackgroundDuplicateSearch, FindsTheGroupsAndHandsTheResultOverOnce) {
    TempTree tree;
    BackgroundDuplicateSearch search(threeFiles(tree));
    ASSERT_TRUE(waitDone(search));
    std::optional<DuplicateResult> result = search.takeResult();
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->cancelled);
    ASSERT_EQ(result->groups.size(), 1u);
    EXPECT_EQ(result->groups[0].files.size(), 2u);
    EXPECT_GE(search.progress().totalFiles, 0);
    EXPECT_FALSE(search.takeResult());
    EXPECT_TRUE(search.failure().isEmpty());
}

TEST(BackgroundDuplicateSearch, ACancelEndsItWithACancelledResult) {
    TempTree tree;
    const auto gate = std::make_shared<Gate>();
    DuplicateOptions options;
    options.stopGrace = 60s; // nothing blocks but the gate, opened below
    options.beforeRead = [gate](DuplicateStage, std::string_view) { gate->waitOpen(); };
    BackgroundDuplicateSearch search(threeFiles(tree), options);
    search.cancel();
    gate->open();
    ASSERT_TRUE(waitDone(search));
    const std::optional<DuplicateResult> result = search.takeResult();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->cancelled);
    EXPECT_TRUE(result->groups.empty());
}

TEST(BackgroundDuplicateSearch, AFailureIsHandedOverAsItsMessage) {
    TempTree tree;
    DuplicateOptions options;
    options.beforeRead = [](DuplicateStage, std::string_view) { throw std::runtime_error("no more"); };
    BackgroundDuplicateSearch search(threeFiles(tree), options);
    ASSERT_TRUE(waitDone(search));
    EXPECT_FALSE(search.takeResult());
    EXPECT_EQ(search.failure(), QStringLiteral("no more"));
}

TEST(BackgroundDuplicateSearch, DroppedWhileItRunsItStopsAndWaitsForItsThread) {
    TempTree tree;
    const auto gate = std::make_shared<Gate>();
    const auto reached = std::make_shared<Gate>();
    DuplicateOptions options;
    options.stopGrace = 60s;
    options.beforeRead = [gate, reached](DuplicateStage, std::string_view) {
        reached->open();
        gate->waitOpen();
    };
    std::thread opener([gate, reached] {
        if (reached->waitOpen())
            std::this_thread::sleep_for(20ms);
        gate->open();
    });
    {
        BackgroundDuplicateSearch search(threeFiles(tree), options);
        EXPECT_TRUE(reached->waitOpen());
    } // cancels, then joins once the gate lets the worker go
    opener.join();
}

} // namespace
