#include <gtest/gtest.h>

#include <QImage>

#include "MediaFixtures.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;

namespace {

// A 200 x 100 pixel stage on white: a 32 x 32 Screen Video stream, red on its first frame
// and green on its second, placed twice: at depth 1 moved to (20, 10) and doubled in size;
// at depth 2 at (120, 10) with a transform that drops red and adds full blue. Frame 2 shows
// the stream's second frame at both; frame 3 removes depth 1.
Bytes videoMovie() {
    sw::MovieWriter movie(8, {0, 4000, 0, 2000}, 10);
    movie.setBackgroundColor({255, 255, 255, 255});
    const std::vector<Bytes> coded =
        encodeVideo("flashsv", {solidImage(32, 32, 0xffff0000), solidImage(32, 32, 0xff00ff00)}, 1);
    const auto id = movie.defineVideoStream(2, 32, 32, 3);
    movie.videoFrame(id, 0, coded[0]);
    sw::PlaceObject big = sw::PlaceObject::place(1, id, sw::Matrix::transform(2, 2, 0, 400, 200));
    big.ratio = 0;
    movie.placeObject2(big);
    sw::PlaceObject tinted = sw::PlaceObject::place(2, id, sw::Matrix::translation(2400, 200));
    tinted.ratio = 0;
    sw::ColorTransform dropRed;
    dropRed.mult = {0, 256, 256, 256};
    dropRed.add = {0, 0, 255, 0};
    tinted.colorTransform = dropRed;
    movie.placeObject2(tinted);
    movie.showFrame();
    movie.videoFrame(id, 1, coded[1]);
    for (const std::uint16_t depth : {1, 2}) {
        sw::PlaceObject next = sw::PlaceObject::modify(depth);
        next.ratio = 1;
        movie.placeObject2(next);
    }
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    return movie.finish();
}

struct VideoStage {
    explicit VideoStage(const Bytes& file) : movie(MovieData::fromBytes(file)), player(*movie) {
        player.settle();
    }
    QImage draw() {
        QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
        renderer.renderStage(image, QRectF(0, 0, 200, 100), player, movie->header()->frameSize,
                             Qt::white);
        return image;
    }
    std::unique_ptr<MovieData> movie;
    StagePlayer player;
    Renderer renderer{standardRenderHooks()};
};

}  // namespace

// Placed video is drawn with the object's matrix and colour transform, and shows the frame
// its ratio names.
TEST(VideoOnStage, DrawnWithMatrixColourTransformAndRatio) {
    VideoStage stage(videoMovie());
    QImage image = stage.draw();
    EXPECT_EQ(image.pixel(21, 11), 0xffff0000u);
    EXPECT_EQ(image.pixel(82, 72), 0xffff0000u) << "doubled: 64 pixels wide";
    EXPECT_EQ(image.pixel(86, 76), 0xffffffffu);
    EXPECT_EQ(image.pixel(10, 5), 0xffffffffu);
    EXPECT_EQ(image.pixel(130, 20), 0xff0000ffu) << "red dropped, blue added";
    EXPECT_EQ(image.pixel(155, 20), 0xffffffffu) << "not doubled";

    stage.player.tick();
    image = stage.draw();
    EXPECT_EQ(image.pixel(50, 40), 0xff00ff00u);
    EXPECT_EQ(image.pixel(130, 20), 0xff00ffffu);

    // Seeking back decodes the first frame again.
    stage.player.gotoFrame(0);
    image = stage.draw();
    EXPECT_EQ(image.pixel(50, 40), 0xffff0000u);
}

// A video removed from the stage lets go of its decoder; a new movie drops everything.
TEST(VideoOnStage, DecodersGoWithTheirObjects) {
    VideoStage stage(videoMovie());
    stage.draw();
    EXPECT_EQ(stage.renderer.videoDecoders(), 2u);
    stage.player.tick();
    stage.draw();
    stage.player.tick();
    const QImage image = stage.draw();
    EXPECT_EQ(image.pixel(50, 40), 0xffffffffu);
    EXPECT_EQ(image.pixel(130, 20), 0xff00ffffu);
    EXPECT_EQ(stage.renderer.videoDecoders(), 1u);
    stage.renderer.clearCaches();
    EXPECT_EQ(stage.renderer.videoDecoders(), 0u);
}
