#include "RenderSupport.h"

#include "engine/render/StandardHooks.h"

namespace zd::test {

Stage::Stage(const swfwriter::Bytes& file, bool antialias)
    : movie(engine::MovieData::fromBytes(file)), renderer(engine::standardRenderHooks()) {
    player_ = std::make_unique<engine::StagePlayer>(*movie);
    engine::RenderOptions options;
    options.antialias = antialias;
    renderer.setOptions(options);
}

QImage Stage::render(QSize size) {
    const engine::MovieHeader* h = movie->header();
    if (size.isEmpty()) {
        size = QSize(static_cast<int>(h->frameSize.width() / 20),
                     static_cast<int>(h->frameSize.height() / 20));
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const auto bg =
        movie->timeline().backgroundAt(static_cast<std::size_t>(std::max(0, player_->frame())));
    renderer.renderStage(image, QRectF(QPointF(0, 0), QSizeF(size)), *player_, h->frameSize,
                         bg ? QColor(bg->r, bg->g, bg->b) : QColor(Qt::white));
    return image;
}

swfwriter::MovieWriter smallMovie(int width, int height) {
    swfwriter::MovieWriter w(10, {0, width, 0, height}, 12.0);
    w.setBackgroundColor({255, 255, 255, 255});
    return w;
}

swfwriter::ShapeBuilder solidRect(int x, int y, int w, int h, swfwriter::Rgba color) {
    swfwriter::ShapeBuilder s;
    s.fill0(s.addFillStyle(swfwriter::FillStyle::solid(color)));
    s.rectangle(x, y, w, h);
    return s;
}

namespace {
void le32(swfwriter::Bytes& b, std::int32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    }
}
}  // namespace

swfwriter::Bytes unitBlurFilter() {
    swfwriter::Bytes b{1, 1};  // one filter: blur
    le32(b, 1 << 16);
    le32(b, 1 << 16);
    b.push_back(1 << 3);  // one pass
    return b;
}

swfwriter::Bytes blackShadowFilter(double distance) {
    swfwriter::Bytes b{1, 0, 0, 0, 0, 255};  // one filter: drop shadow, opaque black
    le32(b, 0);                              // no blur
    le32(b, 0);
    le32(b, 0);  // angle 0
    le32(b, static_cast<std::int32_t>(distance * 65536));
    b.push_back(0);
    b.push_back(1);         // strength 1
    b.push_back(0x20 | 1);  // composite source, one pass
    return b;
}

int differingPixels(const QImage& image, const QImage& expected) {
    if (image.size() != expected.size()) {
        return image.width() * image.height();
    }
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += rgb(image, x, y) != rgb(expected, x, y) ? 1 : 0;
        }
    }
    return n;
}

}  // namespace zd::test
