#pragma once

// The pixels of a script-made bitmap and the operations scripts run on them. Plain C++: the
// display draws from the same store through the host.

#include <array>
#include <cstdint>
#include <vector>

namespace zd::avm1 {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// Multipliers and offsets per channel, in the order red, green, blue, alpha.
struct PixelTransform {
    std::array<double, 4> multiply{1, 1, 1, 1};
    std::array<double, 4> add{0, 0, 0, 0};
};

// Channel bits as scripts name them.
enum PixelChannel : std::uint32_t {
    kRedChannel = 1,
    kGreenChannel = 2,
    kBlueChannel = 4,
    kAlphaChannel = 8,
};

// The generator behind noise: the multiplicative congruential one of Park and Miller.
class NoiseRandom {
  public:
    explicit NoiseRandom(std::int32_t seed);
    std::uint32_t next();

  private:
    std::uint32_t state_;
};

// Premultiplied ARGB words, row by row. An opaque bitmap keeps every alpha at 255.
class BitmapPixels {
  public:
    BitmapPixels(int width, int height, bool transparent, std::uint32_t fillArgb);
    // Takes premultiplied words as they are; a short vector leaves the rest transparent.
    BitmapPixels(int width, int height, bool transparent, std::vector<std::uint32_t> stored);

    int width() const { return width_; }
    int height() const { return height_; }
    bool transparent() const { return transparent_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Straight ARGB to the stored form and back, with the rounding the stored form implies.
    static std::uint32_t premultiply(std::uint32_t argb);
    static std::uint32_t unmultiply(std::uint32_t premultiplied);

    // Straight ARGB; 0 outside.
    std::uint32_t pixel32(int x, int y) const;
    std::uint32_t stored(int x, int y) const { return pixels_[index(x, y)]; }
    void setStored(int x, int y, std::uint32_t v) { pixels_[index(x, y)] = v; }
    void setPixel32(int x, int y, std::uint32_t argb);
    // Colour only: the pixel keeps its alpha.
    void setPixel(int x, int y, std::uint32_t rgb);

    // r clipped to the bitmap.
    PixelRect clip(PixelRect r) const;

    void fillRect(PixelRect r, std::uint32_t argb);
    // Fills the 4-connected area of the pixel's colour; false when nothing changed.
    bool floodFill(int x, int y, std::uint32_t argb);
    // The bounds of the pixels whose (stored) value masked equals colour masked, or (find
    // false) of those that differ.
    PixelRect colorBounds(std::uint32_t mask, std::uint32_t color, bool find) const;
    void colorTransform(PixelRect r, const PixelTransform& t);
    // Copies src's area r to (dx, dy). alphaSource (with its own origin) multiplies the alpha
    // copied; mergeAlpha blends over what is there instead of replacing it.
    void copyPixels(const BitmapPixels& src, PixelRect r, int dx, int dy,
                    const BitmapPixels* alphaSource, int ax, int ay, bool mergeAlpha);
    void copyChannel(const BitmapPixels& src, PixelRect r, int dx, int dy, std::uint32_t srcChannel,
                     std::uint32_t dstChannel);
    // Per-channel mix of src into this: (src * m + this * (256 - m)) / 256.
    void merge(const BitmapPixels& src, PixelRect r, int dx, int dy,
               const std::array<std::uint32_t, 4>& rgbaMultiplier);
    // Fills with pseudo-random channels from the seed, each in [low, high]: red, green, blue
    // (or one grey) and alpha for the channels asked for; the others are 0, alpha 255.
    void noise(std::int32_t seed, int low, int high, std::uint32_t channels, bool grey);
    // Gradient noise summed over octaves (each twice the frequency at half the weight), per
    // channel asked for (or one grey); fractal keeps the sign, turbulence sums magnitudes.
    // stitch makes the lattice repeat across the bitmap's edges. offsets move each octave.
    struct PerlinOptions {
        double baseX = 1;
        double baseY = 1;
        int octaves = 1;
        std::int32_t seed = 0;
        bool stitch = false;
        bool fractal = false;
        std::uint32_t channels = 7;
        bool grey = false;
        std::vector<std::array<double, 2>> offsets;
    };
    // More octaves than this add nothing a pixel can show.
    static constexpr int kMaxPerlinOctaves = 24;
    void perlinNoise(const PerlinOptions& o);
    enum class Compare { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
    // Sets the pixels whose source value (masked) compares true with the threshold (masked)
    // to colour; the others keep their value or (copySource) take the source's. Returns how
    // many matched.
    int threshold(const BitmapPixels& src, PixelRect r, int dx, int dy, Compare op,
                  std::uint32_t thresholdValue, std::uint32_t color, std::uint32_t mask,
                  bool copySource);
    // Dissolves count + 1 pixels of the area (clipped to both bitmaps) in an order that visits
    // each once: source pixels (or, from itself, the fill colour) replace this bitmap's. The
    // first is the one the seed names; returns the seed naming the last, so a sequence of
    // calls goes on where the previous one stopped.
    std::uint32_t pixelDissolve(const BitmapPixels& src, bool fromSelf, PixelRect r, int dx, int dy,
                                std::uint32_t seed, std::uint32_t count, std::uint32_t fillArgb);
    // Moves the picture by (dx, dy); what nothing moves onto keeps its old pixels.
    void scroll(int dx, int dy);
    // Each channel of src's area (straight colour) picks an ARGB word from its table (absent:
    // the channel as it is); the sum of the four picks is the pixel written at (dx, dy).
    using PaletteTable = std::array<std::uint32_t, 256>;
    void paletteMap(const BitmapPixels& src, PixelRect r, int dx, int dy,
                    const std::array<const PaletteTable*, 4>& redGreenBlueAlpha);
    // Composites a picture of this bitmap's size (premultiplied words) onto it within r: each
    // picture pixel through the colour transform (if any) first, then mixed by blend (source,
    // backdrop, both premultiplied), or laid over what is there when blend is null.
    using BlendFunction = std::uint32_t (*)(std::uint32_t source, std::uint32_t backdrop, int mode);
    void drawLayer(const std::vector<std::uint32_t>& layer, PixelRect r, const PixelTransform* t,
                   BlendFunction blend = nullptr, int mode = 0);
    // Whether any pixel's alpha at (x, y) reaches the threshold (at least 1).
    bool hitPoint(int x, int y, std::uint32_t alphaThreshold) const;

    std::vector<std::uint32_t>& data() { return pixels_; }
    const std::vector<std::uint32_t>& data() const { return pixels_; }

    // Bytes of pixels held by all bitmaps alive now; scripts may not make more than
    // kMaxLiveBytes, so a loop making large bitmaps faster than garbage goes cannot take
    // all memory.
    static std::size_t liveBytes();
    static constexpr std::size_t kMaxLiveBytes = std::size_t{1} << 30;
    static bool roomFor(int width, int height) {
        return liveBytes() +
                   static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 <=
               kMaxLiveBytes;
    }

  private:
    // Counts the bytes of the bitmap it belongs to while that lives.
    class Accounting {
      public:
        explicit Accounting(std::size_t bytes);
        Accounting(const Accounting& other);
        Accounting& operator=(const Accounting&) = delete;
        ~Accounting();

      private:
        std::size_t bytes_;
    };

    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    std::uint32_t toStored(std::uint32_t argb) const {
        return transparent_ ? premultiply(argb) : (argb | 0xff000000u);
    }

    int width_;
    int height_;
    bool transparent_;
    std::vector<std::uint32_t> pixels_;
    Accounting accounting_;
};

}  // namespace zd::avm1
