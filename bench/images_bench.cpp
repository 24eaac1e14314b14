// Times the hot paths of the pixel code on a 3000 x 3000 14-bit picture that
// looks like a chest radiograph (collimated border, smooth anatomy, quantum
// noise) and prints each one as a ratio to a single-threaded memcpy of the
// same bytes measured in the same run, one ratio per line. Each figure is the
// best of several runs, because these machines are shared and noisy; the
// median follows in the parentheses.
//
// Every measurement, the memcpy's included, starts with one untimed call, so
// that the first touch of freshly committed pages (a page fault each) is left
// out of every figure alike. The reference is the faster of a memcpy timed
// at the start and one at the end of the run.
#include "images/pixels/displayrenderer.h"
#include "images/pixels/picturebase.h"
#include "images/pixels/rasterkernels.h"
#include "images/pixels/tilecodec.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace {

const int kSide = 3000;
const int kDepth = 14;
const int kRuns = 9;

struct Timing
{
    double best;
    double median;
};

template <typename F>
Timing Measure(F f)
{
    f();    // untimed: pays for the first touch of the destination's pages
    double ms[kRuns];
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        ms[i] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    std::sort(ms, ms + kRuns);
    return Timing{ms[0], ms[kRuns / 2]};
}

void Radiograph(uint16_t* px)
{
    std::mt19937 rng(1234);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const int border = 140;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint16_t v;
            if (x < border || y < border || x >= kSide - border || y >= kSide - border) {
                v = 300;    // collimator shadow: flat
            } else {
                double u = (x - kSide / 2.0) / kSide, w = (y - kSide / 2.0) / kSide;
                double lungs = 5200 * exp(-((fabs(u) - 0.2) * (fabs(u) - 0.2) / 0.02 + w * w / 0.08));
                double ribs = 400 * sin(y * 0.035) * (fabs(u) > 0.05 ? 1 : 0);
                double mediastinum = 2500 * exp(-(u * u) / 0.003);
                double mean = 2000 + lungs + ribs + mediastinum - 3000 * w;
                double value = mean + sqrt(mean) * 0.9 * noise(rng);
                value = value < 0 ? 0 : value > 16383 ? 16383 : value;
                v = (uint16_t)value;
            }
            px[(size_t)y * kSide + x] = v;
        }
    }
}

void Report(const char* name, Timing t, double reference, double limit)
{
    printf("%s %.2f (%.2f ms, median %.2f ms; at most %.1f)\n", name, t.best / reference, t.best, t.median, limit);
}

} // namespace

int wmain()
{
    const size_t pixels = (size_t)kSide * kSide;
    const size_t bytes = pixels * 2;
    DPictureBase pic(kSide, kSide);
    if (!pic.source) {
        fprintf(stderr, "no memory for the picture\n");
        return 1;
    }
    Radiograph(pic.source);
    memcpy(pic.work, pic.source, bytes);
    // Rasters are page allocations in the program, and so they are here.
    DPictureBase other(kSide, kSide);
    uint16_t* copy = other.source;
    uint16_t* decoded = other.work;
    std::vector<uint8_t> stream(EncodeBufferBound(kSide, kSide));

    const Timing memcpyFirst = Measure([&] { memcpy(copy, pic.source, bytes); });

    int32_t size = 0;
    const Timing encodeMs = Measure([&] {
        size = EncodeRaster(pic.source, stream.data(), (int32_t)stream.size(), kSide, kSide, kDepth);
    });
    int32_t consumed = 0;
    const Timing decodeMs = Measure([&] {
        consumed = DecodeRaster(decoded, kSide, kSide, kDepth, stream.data(), size);
    });
    if (size <= 0 || consumed != size || memcmp(decoded, pic.source, bytes) != 0) {
        fprintf(stderr, "codec round trip failed\n");
        return 1;
    }
    printf("stream: %.2f bits per pixel\n", size * 8.0 / pixels);

    const Timing rotateMs = Measure([&] { Rotate90CW(pic.source, copy, kSide, kSide); });
    const Timing sharpenMs = Measure([&] { SharpenRaster(pic.source, pic.work, kSide, kSide, 3); });
    memcpy(pic.work, pic.source, bytes);

    DisplayRenderer view;
    pic.displayOffset = -1500;
    pic.displayWidth = 9000;
    view.AllocRenderBuffers(1800, 1040);
    view.SetZoomArea(1800, 1040);
    view.SetPicture(&pic);
    view.SetScale(-3.0, 0, 0);
    const Timing bilinearMs = Measure([&] { view.Render(); });
    view.SetScale(1.0, kSide / 2, kSide / 2);
    const Timing directMs = Measure([&] { view.Render(); });

    const Timing memcpyLast = Measure([&] { memcpy(copy, pic.source, bytes); });
    const double memcpyMs = memcpyFirst.best < memcpyLast.best ? memcpyFirst.best : memcpyLast.best;
    printf("memcpy of %u bytes: %.2f ms (first %.2f, last %.2f; medians %.2f, %.2f)\n", (unsigned)bytes, memcpyMs,
           memcpyFirst.best, memcpyLast.best, memcpyFirst.median, memcpyLast.median);
    printf("first-touch page faults: excluded from every figure, the memcpy's included\n");

    Report("decode/memcpy", decodeMs, memcpyMs, 12);
    Report("encode/memcpy", encodeMs, memcpyMs, 15);
    Report("rotate90/memcpy", rotateMs, memcpyMs, 6);
    Report("sharpen/memcpy", sharpenMs, memcpyMs, 15);
    Report("render_bilinear_fit/memcpy", bilinearMs, memcpyMs, 3);
    Report("render_direct_zoom1/memcpy", directMs, memcpyMs, 1.5);
    return 0;
}
