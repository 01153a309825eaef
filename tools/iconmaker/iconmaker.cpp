// iconmaker: writes the installer's icon file, a monitor with an aurora over a starry sky, as two
// 32x32 images: 256 colours (8 bits per pixel) and 16 colours (4 bits per pixel).
//
// Usage: iconmaker OUTPUT.ico
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

// The picture before quantisation: colour and whether the pixel belongs to the icon at all.
struct Picture {
    std::array<Rgb, kSize * kSize> colour{};
    std::array<bool, kSize * kSize> opaque{};
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Rgb Add(Rgb a, Rgb b, double weight) { return {a.r + b.r * weight, a.g + b.g * weight, a.b + b.b * weight}; }

// The monitor's screen, left edge, top edge, right and bottom edges inclusive.
constexpr int kScreenLeft = 5, kScreenTop = 5, kScreenRight = 26, kScreenBottom = 20;

// The night sky with its aurora at one point of the screen, u and v from 0 to 1 (v downwards).
Rgb SkyAt(double u, double v) {
    Rgb colour = Mix({10, 10, 90}, {0, 30, 70}, v);
    // The curtain's lower rim waves across the sky; the light fades upwards into violet.
    const double rim = 0.62 + 0.10 * std::sin(2 * kPi * (1.1 * u + 0.15));
    const double above = rim - v;
    const double rays = 0.65 + 0.35 * std::sin(u * 38.0 + 1.3 * std::sin(u * 9.0));
    if (above > -0.06) {
        const double height = 1.25 * (above < 0 ? 1.0 + above / 0.06 : std::exp(-above / 0.40));
        const Rgb light = Mix({40, 255, 100}, {170, 60, 220}, std::fmin(1.0, std::fmax(0.0, (above - 0.12) / 0.40)));
        colour = Add(colour, light, height * rays);
    }
    // A second, fainter band nearer the horizon, in cyan.
    const double band = 0.78 + 0.05 * std::sin(2 * kPi * (1.7 * u + 0.6));
    colour = Add(colour, {40, 200, 220}, 0.45 * std::exp(-std::pow((v - band) / 0.05, 2)) * rays);
    return colour;
}

// Dark hills under the sky: true where the ground hides it.
bool GroundAt(double u, double v) { return v > 0.86 + 0.06 * std::sin(2 * kPi * (0.8 * u + 0.3)); }

// The screen's content, sampled four by four within each pixel for soft curtain edges.
void DrawScreen(Picture& picture) {
    constexpr int kSamples = 4;
    const double width = kScreenRight - kScreenLeft + 1;
    const double height = kScreenBottom - kScreenTop + 1;
    for (int y = kScreenTop; y <= kScreenBottom; ++y)
        for (int x = kScreenLeft; x <= kScreenRight; ++x) {
            Rgb sum{0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (x - kScreenLeft + (sx + 0.5) / kSamples) / width;
                    const double v = (y - kScreenTop + (sy + 0.5) / kSamples) / height;
                    sum = Add(sum, GroundAt(u, v) ? Rgb{6, 8, 12} : SkyAt(u, v), 1.0 / (kSamples * kSamples));
                }
            picture.colour[y * kSize + x] = sum;
            picture.opaque[y * kSize + x] = true;
        }
    // Stars where the aurora is faint: the upper sky and the gaps of the curtain.
    constexpr int kStars[][2] = {{7, 6}, {11, 7}, {16, 6}, {21, 7}, {25, 6}, {9, 9}, {19, 9}, {24, 10}, {13, 10}};
    for (const auto& star : kStars) {
        Rgb& pixel = picture.colour[star[1] * kSize + star[0]];
        pixel = Mix(pixel, {255, 255, 235}, 0.9);
    }
}

void Fill(Picture& picture, int left, int top, int right, int bottom, Rgb colour) {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            picture.colour[y * kSize + x] = colour;
            picture.opaque[y * kSize + x] = true;
        }
}

// The cabinet with a lit upper-left and a shaded lower-right rim, the neck and the foot.
void DrawMonitor(Picture& picture) {
    const Rgb outline{28, 28, 34}, face{196, 198, 206}, light{244, 244, 250}, shade{118, 120, 132};
    Fill(picture, 1, 2, 30, 24, outline);
    Fill(picture, 2, 3, 29, 23, face);
    Fill(picture, 2, 3, 29, 3, light);
    Fill(picture, 2, 3, 2, 23, light);
    Fill(picture, 2, 23, 29, 23, shade);
    Fill(picture, 29, 3, 29, 23, shade);
    Fill(picture, kScreenLeft - 1, kScreenTop - 1, kScreenRight + 1, kScreenBottom + 1, shade);
    Fill(picture, 24, 22, 25, 22, {60, 220, 90});  // the power lamp
    Fill(picture, 13, 25, 18, 26, outline);
    Fill(picture, 14, 25, 17, 26, shade);
    Fill(picture, 7, 27, 24, 29, outline);
    Fill(picture, 8, 27, 23, 28, face);
    Fill(picture, 8, 27, 23, 27, light);
}

Picture DrawIcon() {
    Picture picture;
    DrawMonitor(picture);
    DrawScreen(picture);
    return picture;
}

struct Palette {
    std::vector<std::array<std::uint8_t, 3>> entries;
};

// The 16 colours of the standard Windows palette, in their usual order.
Palette StandardPalette() {
    return {{{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},  {0, 0, 128},   {128, 0, 128},
             {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
             {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}}};
}

// 256 colours: the 16 standard ones, a 6x6x6 cube and 24 greys.
Palette RichPalette() {
    Palette palette = StandardPalette();
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.entries.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                           static_cast<std::uint8_t>(b * 51)});
    for (int i = 1; i <= 24; ++i) {
        const auto grey = static_cast<std::uint8_t>(i * 10);
        palette.entries.push_back({grey, grey, grey});
    }
    return palette;
}

double Clamp(double value) { return std::fmin(255.0, std::fmax(0.0, value)); }

int NearestEntry(const Palette& palette, Rgb colour) {
    int best = 0;
    double bestDistance = 1e18;
    for (int i = 0; i < static_cast<int>(palette.entries.size()); ++i) {
        const auto& entry = palette.entries[i];
        // Green weighs most for the eye, blue least.
        const double dr = entry[0] - Clamp(colour.r), dg = entry[1] - Clamp(colour.g), db = entry[2] - Clamp(colour.b);
        const double distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// Palette indices for every pixel. A small ordered dither inside the screen keeps the aurora's
// gradient visible with few colours; transparent pixels take index 0.
std::vector<int> Quantise(const Picture& picture, const Palette& palette, double ditherStrength) {
    constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<int> indices(kSize * kSize, 0);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            if (!picture.opaque[y * kSize + x]) continue;
            const bool onScreen = x >= kScreenLeft && x <= kScreenRight && y >= kScreenTop && y <= kScreenBottom;
            const double offset = onScreen ? (kBayer[y % 4][x % 4] / 16.0 - 0.47) * ditherStrength : 0.0;
            const Rgb colour = Add(picture.colour[y * kSize + x], {offset, offset, offset}, 1.0);
            indices[y * kSize + x] = NearestEntry(palette, colour);
        }
    return indices;
}

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One icon image as the .ico file holds it: BITMAPINFOHEADER with doubled height, the palette, the
// colour rows and the transparency mask, both bottom row first and padded to four bytes.
std::vector<std::uint8_t> EncodeImage(const Picture& picture, const Palette& palette, const std::vector<int>& indices,
                                      int bitsPerPixel) {
    const int colourRow = (kSize * bitsPerPixel + 31) / 32 * 4;
    const int maskRow = (kSize + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    PutLittleEndian(out, 40, 4);
    PutLittleEndian(out, kSize, 4);
    PutLittleEndian(out, 2 * kSize, 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, bitsPerPixel, 2);
    PutLittleEndian(out, 0, 4);  // no compression
    PutLittleEndian(out, (colourRow + maskRow) * kSize, 4);
    for (int i = 0; i < 4; ++i) PutLittleEndian(out, 0, 4);  // resolution, colours used and important
    for (const auto& entry : palette.entries) {
        out.push_back(entry[2]);
        out.push_back(entry[1]);
        out.push_back(entry[0]);
        out.push_back(0);
    }
    for (int y = kSize - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(colourRow, 0);
        for (int x = 0; x < kSize; ++x) {
            const int index = indices[y * kSize + x];
            if (bitsPerPixel == 8) row[x] = static_cast<std::uint8_t>(index);
            else row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = kSize - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < kSize; ++x)
            if (!picture.opaque[y * kSize + x]) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct IconImage {
    std::vector<std::uint8_t> data;
    int bitsPerPixel;
    int colourCount;  // as the directory states it: 0 stands for 256
};

// The .ico file: the directory of all images, then the images themselves.
std::vector<std::uint8_t> EncodeIconFile(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> out;
    PutLittleEndian(out, 0, 2);
    PutLittleEndian(out, 1, 2);  // an icon, not a cursor
    PutLittleEndian(out, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (const IconImage& image : images) {
        out.push_back(kSize);
        out.push_back(kSize);
        out.push_back(static_cast<std::uint8_t>(image.colourCount));
        out.push_back(0);
        PutLittleEndian(out, 1, 2);
        PutLittleEndian(out, image.bitsPerPixel, 2);
        PutLittleEndian(out, static_cast<std::uint32_t>(image.data.size()), 4);
        PutLittleEndian(out, offset, 4);
        offset += static_cast<std::uint32_t>(image.data.size());
    }
    for (const IconImage& image : images) out.insert(out.end(), image.data.begin(), image.data.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconmaker OUTPUT.ico\n");
        return 2;
    }
    const Picture picture = DrawIcon();
    const Palette rich = RichPalette();
    const Palette standard = StandardPalette();
    const std::vector<IconImage> images = {
        {EncodeImage(picture, rich, Quantise(picture, rich, 24.0), 8), 8, 0},
        {EncodeImage(picture, standard, Quantise(picture, standard, 60.0), 4), 4, 16},
    };
    const std::vector<std::uint8_t> file = EncodeIconFile(images);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "iconmaker: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
