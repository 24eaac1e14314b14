// The helper threads of the pixel code: SplitRows gives every row to one band
// once, runs bands on two threads at once where the process has helpers, and
// never calls a band after it has returned.
#include "images/pixels/pixhelpers.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Coverage
{
    int band = 0;
    std::vector<std::atomic<int>> hits;
    std::atomic<int> calls{0};
    std::atomic<int> misplaced{0};    // a call that is neither the whole range nor one band

    Coverage(int count, int band) : band(band), hits((size_t)count) {}

    static void Rows(void* context, int from, int to)
    {
        Coverage& c = *static_cast<Coverage*>(context);
        ++c.calls;
        const bool whole = from == 0 && to == (int)c.hits.size();
        if (!whole && (from % c.band != 0 || to - from > c.band || to <= from))
            ++c.misplaced;
        for (int r = from; r < to; ++r)
            ++c.hits[(size_t)r];
    }
};

TEST(PixelHelpers, SplitRowsGivesEveryRowToOneBandOnce)
{
    for (int count : {1, 31, 32, 33, 1000, 3000}) {
        for (int band : {1, 32, 100}) {
            for (int helpers : {0, 1, kPixelHelpers}) {
                SCOPED_TRACE(testing::Message() << count << " rows, bands of " << band << ", " << helpers
                                                << " helpers");
                Coverage c(count, band);
                SplitRows(count, band, helpers, Coverage::Rows, &c);
                EXPECT_EQ(0, c.misplaced.load());
                for (int r = 0; r < count; ++r)
                    ASSERT_EQ(1, c.hits[(size_t)r].load()) << "row " << r;
                if (helpers == 0 || PixelHelperCount() == 0) {
                    EXPECT_EQ(1, c.calls.load());
                }
            }
        }
    }
    Coverage none(1, 1);
    SplitRows(0, 1, kPixelHelpers, Coverage::Rows, &none);
    EXPECT_EQ(0, none.calls.load());
}

// Each of two bands waits (at most 30 s) until the other has started: with a
// helper they run at once.
TEST(PixelHelpers, BandsRunOnTwoThreadsAtOnceWhereThereAreHelpers)
{
    if (PixelHelperCount() == 0)
        return;     // one processor, or the native build: the caller runs every band
    struct Meeting
    {
        std::atomic<int> inside{0};
        std::atomic<int> met{0};
        std::thread::id threads[2];
    } m;
    SplitRows(2, 1, 1, [](void* context, int from, int) {
        Meeting& m = *static_cast<Meeting*>(context);
        m.threads[from] = std::this_thread::get_id();
        ++m.inside;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m.inside.load() < 2 && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        if (m.inside.load() == 2)
            ++m.met;
    }, &m);
    EXPECT_EQ(2, m.met.load());
    EXPECT_NE(m.threads[0], m.threads[1]);
}

// Helpers that start after the caller has taken every band find nothing left:
// no band of a finished split is ever called.
TEST(PixelHelpers, NoBandRunsAfterSplitRowsReturned)
{
    struct Job
    {
        std::atomic<bool> returned{false};
        std::atomic<int> late{0};
        std::atomic<int> rows{0};
    };
    std::vector<std::unique_ptr<Job>> jobs;
    for (int i = 0; i < 2000; ++i) {
        jobs.push_back(std::make_unique<Job>());
        Job* job = jobs.back().get();
        SplitRows(8, 1, kPixelHelpers, [](void* context, int from, int to) {
            Job& j = *static_cast<Job*>(context);
            if (j.returned.load())
                ++j.late;
            j.rows += to - from;
        }, job);
        job->returned = true;
        ASSERT_EQ(8, job->rows.load()) << "split " << i;
    }
    for (const auto& job : jobs)
        EXPECT_EQ(0, job->late.load());
}

} // namespace
