// Drawing the aurora: the empty sky, twinkling stars, three curtains of light that wave and
// shimmer, and the hills in front.
#include "saver/aurora.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTau = 6.28318530717958647692;

struct Colour {
    float r, g, b;
};

// One curtain of light: where its lower rim runs, how high it glows and in which colours.
struct Curtain {
    float rimLevel;     // mean height of the rim, as a fraction of the frame from the top
    float rimSwing;     // how far the rim waves up and down, same unit
    float waves;        // rim waves across the width
    float drift;        // radians per second at which the waves travel
    float rayDensity;   // bright rays across the width
    float rayDrift;
    float glowHeight;   // fraction of the frame over which the light fades upwards
    Colour low, high;   // colour at the rim and at the top of the glow
};

constexpr Curtain kCurtains[] = {
    {0.58f, 0.07f, 1.3f, 0.21f, 9.0f, 0.35f, 0.30f, {40, 230, 110}, {120, 40, 170}},
    {0.66f, 0.05f, 2.1f, -0.17f, 14.0f, -0.28f, 0.22f, {30, 200, 170}, {40, 90, 200}},
    {0.50f, 0.06f, 0.8f, 0.12f, 6.0f, 0.22f, 0.18f, {200, 70, 170}, {90, 30, 140}},
};

constexpr std::uint32_t Pack(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

// Adds light to a pixel, each channel saturating at full brightness.
void AddLight(std::uint32_t& pixel, float r, float g, float b) {
    const int pr = std::min(255, static_cast<int>(pixel >> 16 & 0xFF) + static_cast<int>(r));
    const int pg = std::min(255, static_cast<int>(pixel >> 8 & 0xFF) + static_cast<int>(g));
    const int pb = std::min(255, static_cast<int>(pixel & 0xFF) + static_cast<int>(b));
    pixel = Pack(pr, pg, pb);
}

// A small, fixed pseudo-random sequence, so that a seed always gives the same sky.
struct Random {
    std::uint32_t state;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
};

void DrawEmptySky(const Sky& sky, Frame frame) {
    for (int y = 0; y < frame.height; ++y)
        std::fill(frame.pixels + y * frame.width, frame.pixels + (y + 1) * frame.width, sky.rowColour[y]);
}

void DrawStars(const Sky& sky, Frame frame, double seconds) {
    for (const Star& star : sky.stars) {
        const float twinkle = 0.55f + 0.45f * static_cast<float>(std::sin(star.phase + star.speed * seconds));
        const float light = 255.0f * star.brightness * twinkle;
        AddLight(frame.pixels[star.y * frame.width + star.x], light, light, light * 0.9f);
    }
}

// The brightness of a curtain along the width at this moment: drifting rays under a slow pulse.
float RayStrength(const Curtain& curtain, float across, double seconds, int index) {
    const double wobble = 1.7 * std::sin(kTau * 0.6 * across + 0.31 * seconds + index);
    const double rays = 0.5 + 0.5 * std::sin(kTau * curtain.rayDensity * across + curtain.rayDrift * seconds + wobble);
    const double pulse = 0.8 + 0.2 * std::sin(0.5 * seconds + 2.0 * index);
    // The curtain thins out towards both edges of the sky.
    const double edges = std::sin(kTau * 0.5 * across);
    return static_cast<float>((0.3 + 0.7 * rays * rays) * pulse * (0.35 + 0.65 * edges));
}

void DrawCurtain(const Curtain& curtain, int index, Frame frame, double seconds) {
    const int glowRows = std::max(1, static_cast<int>(curtain.glowHeight * frame.height));
    const int fadeRows = std::max(1, frame.height / 60);
    // The colour of the light per row above the rim (negative: the soft edge below it).
    std::vector<Colour> profile(glowRows + fadeRows);
    for (int i = 0; i < glowRows + fadeRows; ++i) {
        const int above = i - fadeRows;
        float strength;
        float toHigh = 0.0f;
        if (above < 0) {
            const float under = static_cast<float>(-above) / static_cast<float>(fadeRows);
            strength = (1.0f - under) * (1.0f - under);
        } else {
            toHigh = static_cast<float>(above) / static_cast<float>(glowRows);
            strength = std::exp(-3.0f * toHigh);
        }
        profile[i] = {(curtain.low.r + (curtain.high.r - curtain.low.r) * toHigh) * strength,
                      (curtain.low.g + (curtain.high.g - curtain.low.g) * toHigh) * strength,
                      (curtain.low.b + (curtain.high.b - curtain.low.b) * toHigh) * strength};
    }
    for (int x = 0; x < frame.width; ++x) {
        const float across = (static_cast<float>(x) + 0.5f) / static_cast<float>(frame.width);
        const double swing = std::sin(kTau * curtain.waves * across + curtain.drift * seconds) +
                             0.4 * std::sin(kTau * 2.3 * curtain.waves * across - 1.7 * curtain.drift * seconds);
        const int rim = static_cast<int>((curtain.rimLevel + curtain.rimSwing * swing) * frame.height);
        const float strength = RayStrength(curtain, across, seconds, index);
        for (int i = 0; i < glowRows + fadeRows; ++i) {
            const int y = rim + fadeRows - i;
            if (y < 0 || y >= frame.height) continue;
            AddLight(frame.pixels[y * frame.width + x], profile[i].r * strength, profile[i].g * strength,
                     profile[i].b * strength);
        }
    }
}

void DrawHills(const Sky& sky, Frame frame) {
    const std::uint32_t ground = Pack(4, 6, 12);
    for (int x = 0; x < frame.width; ++x)
        for (int y = sky.groundTop[x]; y < frame.height; ++y) frame.pixels[y * frame.width + x] = ground;
}

}  // namespace

Sky MakeSky(int width, int height, std::uint32_t seed) {
    Sky sky;
    sky.width = width;
    sky.height = height;
    sky.rowColour.resize(height);
    for (int y = 0; y < height; ++y) {
        const float down = height > 1 ? static_cast<float>(y) / static_cast<float>(height - 1) : 0.0f;
        sky.rowColour[y] = Pack(static_cast<int>(2 + 8 * down), static_cast<int>(3 + 20 * down),
                                static_cast<int>(16 + 34 * down));
    }
    sky.groundTop.resize(width);
    for (int x = 0; x < width; ++x) {
        const double across = static_cast<double>(x) / width;
        const double hills = 0.87 + 0.04 * std::sin(kTau * (0.9 * across + 0.2)) + 0.02 * std::sin(kTau * 3.1 * across);
        sky.groundTop[x] = std::clamp(static_cast<int>(hills * height), 0, height);
    }
    Random random{seed};
    const int starCount = std::max(8, width * height / 700);
    for (int i = 0; i < starCount; ++i) {
        const int x = std::min(width - 1, static_cast<int>(random.Next() * width));
        const int y = std::min(height - 1, static_cast<int>(random.Next() * height));
        const float brightness = 0.25f + 0.75f * random.Next() * random.Next();
        const float speed = 1.0f + 3.0f * random.Next();
        const float phase = static_cast<float>(kTau) * random.Next();
        if (y < sky.groundTop[x]) sky.stars.push_back({x, y, brightness, speed, phase});
    }
    return sky;
}

void DrawSky(const Sky& sky, Frame frame, double seconds) {
    DrawEmptySky(sky, frame);
    DrawStars(sky, frame, seconds);
    int index = 0;
    for (const Curtain& curtain : kCurtains) DrawCurtain(curtain, index++, frame, seconds);
    DrawHills(sky, frame);
}
