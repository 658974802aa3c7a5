#pragma once

#include <optional>
#include <string>
#include <utility>

#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::engine {
class CharacterCache;
class DisplayObject;
class StagePlayer;
class TextFieldModel;
struct TextLayout;
}  // namespace zd::engine

namespace zd::script {

// The text fields of a stage as scripts reach them: their properties and formats, measured
// with the layout the renderer draws, and bound to the timeline variables they name.
class TextFields final : public avm1::TextFieldHost {
  public:
    TextFields(engine::StagePlayer& player, engine::CharacterCache& cache);

    // Where the bound variables live (set once the interpreter exists).
    void setVm(avm1::Vm* vm) { vm_ = vm; }

    avm1::DisplayValue textProperty(avm1::DisplayId id, avm1::TextProperty p) override;
    void setTextProperty(avm1::DisplayId id, avm1::TextProperty p,
                         const avm1::DisplayValue& v) override;
    std::optional<avm1::TextFormatValues> textFormat(avm1::DisplayId id, int begin,
                                                     int end) override;
    void setTextFormat(avm1::DisplayId id, int begin, int end,
                       const avm1::TextFormatValues& f) override;
    std::optional<avm1::TextFormatValues> newTextFormat(avm1::DisplayId id) override;
    void setNewTextFormat(avm1::DisplayId id, const avm1::TextFormatValues& f) override;
    void replaceText(avm1::DisplayId id, int begin, int end, std::string_view text) override;
    std::array<int, 2> selection(avm1::DisplayId id) override;
    void setSelection(avm1::DisplayId id, int begin, int end) override;
    std::array<double, 4> measure(const avm1::TextFormatValues& f, std::string_view text,
                                  std::optional<double> width) override;
    std::u16string staticText(avm1::DisplayId clip) override;

    // The link (address and window) of the character shown at a point of the field (twips,
    // the field's coordinates), if any.
    std::optional<std::pair<std::string, std::string>> linkAt(avm1::DisplayId id, double x,
                                                              double y);
    // A field's _width or _height set by a script: its box changes, not its scale.
    void resize(engine::DisplayObject& object, bool height, double pixels);
    // Fields bound to variables show the variables' values now; a variable not yet set takes
    // the field's text.
    void syncVariables();
    // The same, when fields with variables were placed since the last time.
    void syncIfChanged();

  private:
    engine::TextFieldModel* field(avm1::DisplayId id) const;
    engine::DisplayObject* object(avm1::DisplayId id) const;
    // The text changed: the box follows when it sizes itself, the bound variable takes the
    // text, the picture is drawn again.
    void textChanged(engine::DisplayObject& object, bool writeVariable);
    void autoSize(engine::DisplayObject& object);
    void syncTree(engine::DisplayObject& object, int depth);
    void syncField(engine::DisplayObject& object);
    // The object (a clip, or one held in a variable) and name a field's variable path names.
    bool variableOf(engine::DisplayObject& object, avm1::Value& owner, std::string& name);

    engine::StagePlayer& player_;
    engine::CharacterCache& cache_;
    avm1::Vm* vm_ = nullptr;
    // Whether the last walk met a bound field, and the placements it had seen.
    bool anyBound_ = false;
    std::uint64_t placedSeen_ = 0;
};

}  // namespace zd::script
