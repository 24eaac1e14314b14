// What every benchmark shares: timing with an untimed first call, the memcpy
// reference, and the verdict that prints each figure beside its limit and
// makes the exit status non-zero when one is missed.
//
// Every figure is printed on a line of its own, starting with "ratio:", that
// bench/run-all.sh collects into one table:
//   ratio: <name> <value> <limit> <ok|MISSED> <what the value is>
// The value is the measured ratio (to memcpy of the same bytes in the same
// run, or a ratio of costs); the limit is the most it may be.
#pragma once

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <string>
#include <vector>

namespace bench {

struct Timing
{
    double best;      // ms
    double median;    // ms
};

// Times f `runs` times after one untimed call, with `before` called, untimed,
// before each call.
template <typename F, typename B>
Timing MeasureAfter(F f, B&& before, int runs)
{
    before();
    f();
    std::vector<double> ms((size_t)runs);
    for (int i = 0; i < runs; ++i) {
        before();
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        ms[(size_t)i] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    std::sort(ms.begin(), ms.end());
    return Timing{ms[0], ms[(size_t)runs / 2]};
}

// Times f `runs` times after one untimed call (the first touch of pages a
// measurement writes is not part of the figure, for the memcpy alike).
template <typename F>
Timing Measure(F f, int runs = 9)
{
    return MeasureAfter(f, [] {}, runs);
}

// A single-threaded memcpy of `bytes` between two buffers whose pages are
// touched before timing: the reference of every ratio. The second form calls
// `before` before each copy, as MeasureAfter does.
template <typename B>
Timing MemcpyOfAfter(size_t bytes, B&& before, int runs = 15)
{
    std::vector<char> a(bytes, 1), b(bytes, 0);
    return MeasureAfter([&] { memcpy(b.data(), a.data(), bytes); }, before, runs);
}

inline Timing MemcpyOf(size_t bytes, int runs = 15)
{
    return MemcpyOfAfter(bytes, [] {}, runs);
}

// Reads a block of three times the machine's largest cache (at least 64 MB),
// so that what a measurement reads next comes from memory, not from a cache
// that the run before left it in. Reading leaves no line to be written back
// at the cost of the measurement.
//
// A processor may report its last-level cache as the sum over all its core
// groups (hundreds of megabytes), of which one core sees a slice: three times
// that would not fit beside the benchmark's own data in a 32-bit process. The
// block is at most kMostBytes, which still passes every slice several times,
// and smaller when the address space cannot give that much in one piece.
class CacheFlusher
{
public:
    CacheFlusher() : block_(Allocate(std::min(std::max<size_t>(3 * LargestCache(), kLeastBytes), kMostBytes))) {}
    void operator()()
    {
        unsigned sum = 0;
        for (size_t i = 0; i < block_.size(); i += 64)
            sum += (unsigned char)block_[i];
        sink_ = sink_ + sum;
    }

private:
    static const size_t kLeastBytes = (size_t)64 << 20;
    static const size_t kMostBytes = (size_t)256 << 20;

    static std::vector<char> Allocate(size_t bytes)
    {
        for (;; bytes /= 2) {
            try {
                return std::vector<char>(bytes, 1);
            } catch (const std::bad_alloc&) {
                if (bytes <= kLeastBytes / 4)
                    throw;
            }
        }
    }

    static size_t LargestCache()
    {
        DWORD size = 0;
        GetLogicalProcessorInformation(nullptr, &size);
        std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> info(size / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
        size = (DWORD)(info.size() * sizeof(info[0]));
        size_t largest = 0;
        if (GetLogicalProcessorInformation(info.data(), &size))
            for (size_t i = 0; i < size / sizeof(info[0]); ++i)
                if (info[i].Relationship == RelationCache)
                    largest = std::max<size_t>(largest, info[i].Cache.Size);
        return largest;
    }

    std::vector<char> block_;
    volatile unsigned sink_ = 0;
};

// The bytes of a 3000 x 3000 16-bit picture: the reference's usual size.
const size_t kPictureBytes = (size_t)3000 * 3000 * 2;

class Verdict
{
public:
    // One figure: prints it and remembers whether it is within its limit.
    void Ratio(const char* name, double value, double limit, const std::string& what)
    {
        const bool ok = value <= limit;
        printf("ratio: %s %.2f %.2f %s %s\n", name, value, limit, ok ? "ok" : "MISSED", what.c_str());
        fflush(stdout);
        if (!ok) {
            fprintf(stderr, "%s: %.2f is above its limit %.2f\n", name, value, limit);
            missed.push_back(name);
        }
    }
    // A time as a ratio to the reference, with both times in the text.
    void Time(const char* name, Timing t, double referenceMs, double limit, const char* what)
    {
        char text[256];
        snprintf(text, sizeof text, "%s (%.2f ms, median %.2f ms; memcpy %.2f ms)", what, t.best, t.median,
                 referenceMs);
        Ratio(name, t.best / referenceMs, limit, text);
    }
    // A measurement that could not be made counts as missed.
    void Failed(const char* name, const char* why)
    {
        printf("ratio: %s - - FAILED %s\n", name, why);
        fflush(stdout);
        fprintf(stderr, "%s: %s\n", name, why);
        missed.push_back(name);
    }
    // 0 when every figure is within its limit, else 1 (after naming them).
    int ExitCode() const
    {
        if (missed.empty())
            return 0;
        fprintf(stderr, "limits missed:");
        for (const std::string& m : missed)
            fprintf(stderr, " %s", m.c_str());
        fprintf(stderr, "\n");
        return 1;
    }

private:
    std::vector<std::string> missed;
};

// Scaling: the cost at each size against the smallest, beside the ratio of
// the sizes; a cost ratio may be at most `slack` times its size ratio.
inline void Scaling(Verdict& verdict, const char* name, const std::vector<int>& sizes, const std::vector<double>& ms,
                    double slack)
{
    for (size_t i = 1; i < sizes.size(); ++i) {
        const double sizeRatio = (double)sizes[i] / sizes[0];
        const double costRatio = ms[i] / ms[0];
        char label[128], text[256];
        snprintf(label, sizeof label, "%s_%d/%d", name, sizes[i], sizes[0]);
        snprintf(text, sizeof text, "cost ratio %.2f for size ratio %.1f (%.2f ms against %.2f ms); limit %.2f x %.1f",
                 costRatio, sizeRatio, ms[i], ms[0], slack, sizeRatio);
        verdict.Ratio(label, costRatio / sizeRatio, slack, text);
    }
}

} // namespace bench
