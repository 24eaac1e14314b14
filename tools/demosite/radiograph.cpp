#include "tools/demosite/radiograph.h"

#include <math.h>
#include <string.h>

#include <vector>

namespace {

// A small, fast generator: xorshift32.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }
    // Roughly normal: the sum of four uniforms, centred and scaled.
    double Normal() { return (Uniform() + Uniform() + Uniform() + Uniform() - 2.0) * 1.7320508; }
};

const int kExpTable = 4096;     // attenuation table over thickness 0..kMaxThickness
const double kMaxThickness = 8.0;

// Thickness of bone-like structures at (u, v), both in 0..1 of the field.
double BoneThickness(RadiographKind kind, double u, double v, double ribPhase)
{
    double t = 0.0;
    if (kind == RadiographKind::Chest) {
        // The spine: a band down the middle, vertebrae as a ripple.
        const double ds = (u - 0.5) / 0.045;
        if (fabs(ds) < 3.0)
            t += 0.9 * exp(-ds * ds) * (0.85 + 0.15 * cos(v * 90.0));
        // Ribs: curved bands on both sides, sloping down from the spine.
        const double side = fabs(u - 0.5);
        if (side > 0.04 && side < 0.42 && v > 0.12 && v < 0.78) {
            const double curve = v - 0.35 * side * side - 0.12 * side;
            const double phase = curve * 38.0 + ribPhase;
            const double band = cos(phase);
            if (band > 0.55)
                t += 0.35 * (band - 0.55) / 0.45 * (1.0 - side * 1.6);
        }
        // Clavicles.
        const double clav = v - (0.11 + 0.12 * fabs(u - 0.5));
        if (fabs(u - 0.5) < 0.35 && fabs(clav) < 0.012)
            t += 0.5;
    } else {
        // Two long bones with a denser cortex.
        const double centres[2] = {0.42, 0.58};
        const double radii[2] = {0.07, 0.045};
        for (int b = 0; b < 2; ++b) {
            const double d = fabs(u - centres[b] - 0.02 * sin(v * 6.0)) / radii[b];
            if (d < 1.0) {
                const double chord = sqrt(1.0 - d * d);
                t += 1.4 * chord + (d > 0.7 ? 0.6 * chord : 0.0);
            }
        }
    }
    return t;
}

}  // namespace

DPicturePtr MakeRadiograph(int width, int height, int bits, unsigned seed, RadiographKind kind)
{
    DPicturePtr picture;
    if (bits < 8 || bits > 16 || width < 64 || height < 64 || !picture.CreateSized(width, height) ||
        !picture->GetBits())
        return DPicturePtr();
    DPicture* p = picture.Get();
    const double top = (double)((1 << bits) - 1);
    Random random(seed * 2654435761u + 1);

    // Exposure after attenuation, tabulated over the thickness: I = I0 e^(-mu t).
    std::vector<double> attenuation(kExpTable + 1);
    for (int i = 0; i <= kExpTable; ++i)
        attenuation[i] = 0.92 * top * exp(-0.75 * kMaxThickness * i / kExpTable);

    // The collimator's opening, a little different for every picture.
    const int left = width / 20 + (int)(random.Uniform() * width / 40);
    const int right = width - width / 20 - (int)(random.Uniform() * width / 40);
    const int upper = height / 25 + (int)(random.Uniform() * height / 40);
    const int lower = height - height / 25 - (int)(random.Uniform() * height / 40);
    const double ribPhase = random.Uniform() * 6.28;
    const double bodyX = 0.5 + (random.Uniform() - 0.5) * 0.04;
    const double bodyRx = kind == RadiographKind::Chest ? 0.46 : 0.22;
    const double bodyRy = kind == RadiographKind::Chest ? 0.62 : 0.9;
    // Stored as a processed radiograph is shown: the more the body absorbed,
    // the higher the value (bone bright, air dark); behind the collimator
    // nothing arrived, so the border is nearly white and flat.
    const uint16_t blocked = (uint16_t)(top * 0.97);

    // Noise is drawn per pixel from a table of normals, so a large picture is quick.
    std::vector<float> normals(65536);
    for (float& n : normals)
        n = (float)random.Normal();
    uint32_t noiseIndex = random.Next();

    for (int y = 0; y < height; ++y) {
        uint16_t* row = p->source + (size_t)y * width;
        if (y < upper || y >= lower) {
            for (int x = 0; x < width; ++x)
                row[x] = blocked;
            continue;
        }
        const double v = (double)y / height;
        for (int x = 0; x < width; ++x) {
            if (x < left || x >= right) {
                row[x] = blocked;
                continue;
            }
            const double u = (double)x / width;
            // Soft tissue: an ellipse of the body, thicker toward its middle,
            // with the lungs of a chest as thinner regions.
            const double ex = (u - bodyX) / bodyRx, ey = (v - 0.55) / bodyRy;
            const double r2 = ex * ex + ey * ey;
            double t = r2 < 1.0 ? 1.9 * sqrt(1.0 - r2) : 0.0;
            if (kind == RadiographKind::Chest && t > 0.0) {
                for (int side = -1; side <= 1; side += 2) {
                    const double lx = (u - (0.5 + side * 0.2)) / 0.15, ly = (v - 0.42) / 0.27;
                    const double l2 = lx * lx + ly * ly;
                    if (l2 < 1.0)
                        t -= 1.3 * sqrt(1.0 - l2);
                }
                if (t < 0.15)
                    t = 0.15;
            }
            t += BoneThickness(kind, u, v, ribPhase);
            if (t > kMaxThickness)
                t = kMaxThickness;
            double signal = attenuation[(int)(t / kMaxThickness * kExpTable)];
            // Quantum noise grows with the square root of the signal.
            signal += normals[(noiseIndex++) & 0xFFFF] * (0.6 * sqrt(signal) + 2.0);
            if (signal < 0.0)
                signal = 0.0;
            if (signal > top)
                signal = top;
            row[x] = (uint16_t)(top - signal);
        }
        noiseIndex = noiseIndex * 1103515245u + 12345u;
    }

    p->bitsPerPixel = bits;
    p->levels = 1 << bits;
    p->imageFlags = DPictureBase::kSpacingKnown;
    p->spacingX = p->spacingY = 0.143;
    p->scale = -3.0;
    p->viewCentreX = width / 2;
    p->viewCentreY = height / 2;
    p->RefreshWork();
    int offset = 0, window = 0;
    const PixelRect inside = {left, upper, right, lower};
    p->AutoWindow(&inside, &offset, &window, true);
    p->displayOffset = offset;
    p->displayWidth = window > 0 ? window : 1;
    return picture;
}
