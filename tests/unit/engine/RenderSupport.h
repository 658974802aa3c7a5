#pragma once

#include <QColor>
#include <QImage>
#include <memory>

#include "engine/player/StagePlayer.h"
#include "engine/render/Renderer.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/SwfWriter.h"

namespace zd::test {

// A movie held in memory with its display state and a renderer, for drawing frames.
struct Stage {
    explicit Stage(const swfwriter::Bytes& file, bool antialias = false);

    // The current frame drawn at the stage's pixel size (or the size given).
    QImage render(QSize size = {});
    engine::StagePlayer& player() { return *player_; }

    std::unique_ptr<engine::MovieData> movie;
    std::unique_ptr<engine::StagePlayer> player_;
    engine::Renderer renderer;
};

// A movie writer with a 100x100 pixel stage and a white background.
swfwriter::MovieWriter smallMovie(int width = 2000, int height = 2000);

// A ShapeBuilder holding one solid rectangle (twips).
swfwriter::ShapeBuilder solidRect(int x, int y, int w, int h, swfwriter::Rgba color);

inline QRgb rgb(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffffu;
}
inline QRgb rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return qRgb(r, g, b) & 0xffffffu;
}

// A FILTERLIST holding one blur of 1 pixel, which blurs nothing but still filters.
swfwriter::Bytes unitBlurFilter();
// A FILTERLIST holding one unblurred opaque black drop shadow cast right (stage pixels).
swfwriter::Bytes blackShadowFilter(double distance);

// Pixels of image that differ from the same pixel of expected (RGB).
int differingPixels(const QImage& image, const QImage& expected);

}  // namespace zd::test
