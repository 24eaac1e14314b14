// The helper threads of the pixel code: one fewer than the processors the
// process may run on, at most kPixelHelpers; SplitRows gives every row to one
// band once, runs bands on two threads at once where the process has helpers,
// and never calls a band after it has returned.
#include "images/pixels/pixhelpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// What one SplitRows did. With `meet`, each band waits (at most 30 s) until
// another one has started beside it.
struct Split
{
    bool meet;
    std::vector<std::atomic<int>> hits;
    std::atomic<int> inside{0}, met{0}, late{0};
    std::atomic<bool> returned{false};

    Split(int count, bool meet) : meet(meet), hits((size_t)count) {}

    static void Rows(void* context, int from, int to)
    {
        Split& s = *static_cast<Split*>(context);
        s.late += s.returned ? 1 : 0;
        for (int r = from; r < to; ++r)
            ++s.hits[(size_t)r];
        s.inside += s.meet ? 1 : 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (s.meet && s.inside.load() < 2 && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        s.met += s.meet && s.inside.load() >= 2 ? 1 : 0;
    }
};

TEST(PixelHelpers, OneFewerThanTheProcessorsTheProcessMayRunOn)
{
    const struct { uint64_t affinity; int most, helpers; } rows[] = {
        {0x1, kPixelHelpers, 0}, {0x80, kPixelHelpers, 0}, {0x0, kPixelHelpers, 0},
        {0x24, kPixelHelpers, 1}, {0xf, kPixelHelpers, 3}, {0xff, kPixelHelpers, 4},
        {0x8000000000000001ull, kPixelHelpers, 1}, {0xffffffffull, 2, 2},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.helpers, PixelHelpersFor(row.affinity, row.most)) << std::hex << row.affinity;
#ifdef _WIN32
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_EQ(PixelHelpersFor(process, kPixelHelpers), PixelHelperCount());
#endif
}

TEST(PixelHelpers, SplitRowsGivesEveryRowToOneBandOnceAndNoneAfterItReturned)
{
    const struct { int count, band, helpers, times; bool meet; } rows[] = {
        {0, 1, kPixelHelpers, 1, false}, {1, 32, kPixelHelpers, 1, false}, {33, 32, kPixelHelpers, 1, false},
        {1000, 100, 0, 1, false}, {1000, 32, 1, 1, false}, {3000, 1, kPixelHelpers, 1, false},
        // Helpers that start after the caller has taken every band find none left.
        {8, 1, kPixelHelpers, 2000, false},
        // With a helper (none for a process bound to one processor, nor natively) two bands run at once.
        {2, 1, 1, 1, PixelHelperCount() > 0},
    };
    std::vector<std::unique_ptr<Split>> splits;     // kept for late helpers
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.count << " rows, bands of " << row.band << ", " << row.helpers
                                        << " helpers");
        for (int i = 0; i < row.times; ++i) {
            splits.push_back(std::make_unique<Split>(row.count, row.meet));
            Split& s = *splits.back();
            SplitRows(row.count, row.band, row.helpers, Split::Rows, &s);
            s.returned = true;
            for (int r = 0; r < row.count; ++r)
                ASSERT_EQ(1, s.hits[(size_t)r].load()) << "row " << r << " of split " << i;
            EXPECT_EQ(row.meet ? 2 : 0, s.met.load());
        }
    }
    for (const auto& s : splits)
        EXPECT_EQ(0, s->late.load());
}

}  // namespace
