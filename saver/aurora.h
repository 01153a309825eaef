// The demo screen saver's picture: an aurora over a starry sky and dark hills, drawn into a pixel
// buffer for any moment of the animation. Knows nothing of windows.
#pragma once

#include <cstdint>
#include <vector>

// A top-down buffer of 0x00RRGGBB pixels.
struct Frame {
    std::uint32_t* pixels;
    int width;
    int height;
};

struct Star {
    int x, y;
    float brightness;  // 0..1 at the peak of its twinkle
    float speed;       // twinkle, radians per second
    float phase;
};

// Everything of the picture that does not move: the stars, the sky's colours, the hills' outline.
struct Sky {
    int width = 0;
    int height = 0;
    std::vector<Star> stars;
    std::vector<std::uint32_t> rowColour;  // the empty sky, one colour per row
    std::vector<int> groundTop;            // per column, the first row of the hills
};

// Lays out a sky for a frame of the given size; the same seed gives the same stars.
Sky MakeSky(int width, int height, std::uint32_t seed);

// Draws the picture at the given moment, in seconds since the start.
void DrawSky(const Sky& sky, Frame frame, double seconds);
