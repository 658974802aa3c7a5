#pragma once

#include <optional>

#include "engine/avm1/TextFieldHost.h"
#include "engine/player/Dictionary.h"

namespace zd::script {

// What a clip's drawing methods drew so far, as a shape. Every change of fill or line starts
// a new style group, so that what is drawn later lies on top as it does on the stage.
class ClipDrawing {
  public:
    void apply(const avm1::DrawCommand& command);
    // The drawing as a shape character (null when nothing is drawn).
    engine::CharacterPtr shape() const;

  private:
    void newGroup();
    void closeFill();
    void styleChange(std::optional<engine::Point> moveTo);
    void edge(engine::Point control, engine::Point to, bool curved);

    engine::ShapeDefinition def_;
    std::optional<engine::FillStyle> fill_;
    std::optional<engine::LineStyle> line_;
    bool fillOpen_ = false;
    bool groupUsed_ = false;
    std::size_t groupRecord_ = 0;  // the record that opened the current group  // the current group
                                   // has edges: a style change needs a new one
    engine::Point pen_;
    engine::Point fillStart_;
    std::size_t edges_ = 0;
    bool anyPoint_ = false;
};

}  // namespace zd::script
