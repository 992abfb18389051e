#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "ZULErrorHistory.h"

namespace {

void ExpectEntry(const TZULError& entry, const std::string& module, const std::string& function,
                 const std::string& error) {
    EXPECT_EQ(entry.Module, module);
    EXPECT_EQ(entry.Function, function);
    EXPECT_EQ(entry.Error, error);
}

TEST(ErrorHistory, MissingEntriesAreEmptyNotFailures) {
    TZULErrorHistory history;
    EXPECT_EQ(history.GetCount(), 0);
    EXPECT_TRUE(history.GetLatestError().IsEmpty());
    EXPECT_TRUE(history.GetError(-1).IsEmpty());
    EXPECT_TRUE(history.GetError(0).IsEmpty());

    history.AddError("Filter", "FeedData", "Input buffer overflow");
    EXPECT_TRUE(history.GetError(-1).IsEmpty());
    EXPECT_TRUE(history.GetError(1).IsEmpty());
    EXPECT_FALSE(history.GetError(0).IsEmpty());
}

TEST(ErrorHistory, AddReturnsCountAndKeepsOrder) {
    TZULErrorHistory history;
    EXPECT_EQ(history.AddError("Filter", "FeedData", "Input buffer overflow"), 1);
    EXPECT_EQ(history.AddError("ZULFileIO", "WriteFile", "Could not open 'x' for writing"), 2);
    EXPECT_EQ(history.AddError("ZULFileIO", "ReadFile", "Could not open 'y' for reading"), 3);
    EXPECT_EQ(history.GetCount(), 3);
    ExpectEntry(history.GetError(0), "Filter", "FeedData", "Input buffer overflow");
    ExpectEntry(history.GetError(2), "ZULFileIO", "ReadFile", "Could not open 'y' for reading");
    ExpectEntry(history.GetLatestError(), "ZULFileIO", "ReadFile", "Could not open 'y' for reading");
}

TEST(ErrorHistory, ClearStartsOver) {
    TZULErrorHistory history;
    history.AddError("A", "a", "first");
    history.AddError("B", "b", "second");
    history.Clear();
    EXPECT_EQ(history.GetCount(), 0);
    EXPECT_TRUE(history.GetLatestError().IsEmpty());
    EXPECT_EQ(history.AddError("C", "c", "third"), 1);
    ExpectEntry(history.GetError(0), "C", "c", "third");
}

// "T" followed by the thread's number. Appended rather than built with operator+ on a
// temporary: GCC 12 at -O3 warns falsely (-Wrestrict) about the insert that one makes.
std::string ModuleOf(int thread) {
    std::string module("T");
    module += std::to_string(thread);
    return module;
}

TEST(ErrorHistory, ConcurrentAddsAllArriveIntactAndInPerThreadOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 500;
    TZULErrorHistory history;
    std::vector<std::vector<int>> results(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&history, &results, t] {
            for (int i = 0; i < perThread; ++i) {
                results[t].push_back(history.AddError(ModuleOf(t), "F", std::to_string(i)));
                history.GetLatestError();  // readers race the writers
            }
        });
    }
    for (auto& worker : workers) worker.join();

    ASSERT_EQ(history.GetCount(), threads * perThread);
    // Every add saw a distinct count: no append was lost or counted twice.
    std::vector<int> all;
    for (const auto& r : results) all.insert(all.end(), r.begin(), r.end());
    std::sort(all.begin(), all.end());
    for (int i = 0; i < threads * perThread; ++i) ASSERT_EQ(all[i], i + 1);
    // Each thread's entries appear in its own order, uncorrupted, at the index its count named.
    for (int t = 0; t < threads; ++t) {
        for (int i = 0; i < perThread; ++i) {
            const TZULError entry = history.GetError(results[t][i] - 1);
            ASSERT_EQ(entry.Module, ModuleOf(t));
            ASSERT_EQ(entry.Error, std::to_string(i));
        }
    }
}

}  // namespace
