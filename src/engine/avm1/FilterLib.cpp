// flash.filters: the filter classes scripts make, and MovieClip.filters, which hands the
// display copies of them as records and reads its records back as new objects.

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

struct ScriptFilters {
    std::vector<FilterValues> values;
    engine::FilterList records;
};

namespace lib {

FilterObject::FilterObject(Object* proto) : Object(proto) {}

void FilterObject::trace(Tracer& t) {
    Object::trace(t);
    t.mark(mapBitmap);
}

std::size_t FilterObject::footprint() const {
    return Object::footprint() + sizeof(FilterObject) + values.matrix.capacity() * sizeof(double) +
           values.colors.capacity() * 6;
}

namespace {

enum class Field : std::uint8_t {
    Distance,
    Angle,
    Color,
    Alpha,
    HighlightColor,
    HighlightAlpha,
    ShadowColor,
    ShadowAlpha,
    BlurX,
    BlurY,
    Strength,
    Quality,
    Inner,
    Knockout,
    HideObject,
    Type,
    Colors,
    Alphas,
    Ratios,
    Matrix,
    MatrixX,
    MatrixY,
    Divisor,
    Bias,
    PreserveAlpha,
    Clamp,
    MapBitmap,
    MapPoint,
    ComponentX,
    ComponentY,
    ScaleX,
    ScaleY,
    Mode,
};

struct FieldName {
    Field field;
    const char* name;
};

constexpr FieldName kFieldNames[] = {
    {Field::Distance, "distance"},
    {Field::Angle, "angle"},
    {Field::Color, "color"},
    {Field::Alpha, "alpha"},
    {Field::HighlightColor, "highlightColor"},
    {Field::HighlightAlpha, "highlightAlpha"},
    {Field::ShadowColor, "shadowColor"},
    {Field::ShadowAlpha, "shadowAlpha"},
    {Field::BlurX, "blurX"},
    {Field::BlurY, "blurY"},
    {Field::Strength, "strength"},
    {Field::Quality, "quality"},
    {Field::Inner, "inner"},
    {Field::Knockout, "knockout"},
    {Field::HideObject, "hideObject"},
    {Field::Type, "type"},
    {Field::Colors, "colors"},
    {Field::Alphas, "alphas"},
    {Field::Ratios, "ratios"},
    {Field::Matrix, "matrix"},
    {Field::MatrixX, "matrixX"},
    {Field::MatrixY, "matrixY"},
    {Field::Divisor, "divisor"},
    {Field::Bias, "bias"},
    {Field::PreserveAlpha, "preserveAlpha"},
    {Field::Clamp, "clamp"},
    {Field::MapBitmap, "mapBitmap"},
    {Field::MapPoint, "mapPoint"},
    {Field::ComponentX, "componentX"},
    {Field::ComponentY, "componentY"},
    {Field::ScaleX, "scaleX"},
    {Field::ScaleY, "scaleY"},
    {Field::Mode, "mode"},
};

const char* nameOf(Field f) {
    for (const auto& n : kFieldNames) {
        if (n.field == f) {
            return n.name;
        }
    }
    return "";
}

struct ClassInfo {
    FilterKind kind;
    const char* name;
    std::vector<Field> arguments;   // the constructor's, in order
    std::vector<Field> properties;  // as for-in lists them
};

const std::vector<ClassInfo>& classes() {
    using F = Field;
    static const std::vector<ClassInfo> kClasses = {
        {FilterKind::Bevel,
         "BevelFilter",
         {F::Distance, F::Angle, F::HighlightColor, F::HighlightAlpha, F::ShadowColor,
          F::ShadowAlpha, F::BlurX, F::BlurY, F::Strength, F::Quality, F::Type, F::Knockout},
         {F::Distance, F::Angle, F::HighlightColor, F::HighlightAlpha, F::ShadowColor,
          F::ShadowAlpha, F::Quality, F::Strength, F::Knockout, F::BlurX, F::BlurY, F::Type}},
        {FilterKind::Blur,
         "BlurFilter",
         {F::BlurX, F::BlurY, F::Quality},
         {F::BlurX, F::BlurY, F::Quality}},
        {FilterKind::ColorMatrix, "ColorMatrixFilter", {F::Matrix}, {F::Matrix}},
        {FilterKind::Convolution,
         "ConvolutionFilter",
         {F::MatrixX, F::MatrixY, F::Matrix, F::Divisor, F::Bias, F::PreserveAlpha, F::Clamp,
          F::Color, F::Alpha},
         {F::MatrixX, F::MatrixY, F::Matrix, F::Divisor, F::Bias, F::PreserveAlpha, F::Clamp,
          F::Color, F::Alpha}},
        {FilterKind::DisplacementMap,
         "DisplacementMapFilter",
         {F::MapBitmap, F::MapPoint, F::ComponentX, F::ComponentY, F::ScaleX, F::ScaleY, F::Mode,
          F::Color, F::Alpha},
         {F::MapBitmap, F::MapPoint, F::ComponentX, F::ComponentY, F::ScaleX, F::ScaleY, F::Mode,
          F::Color, F::Alpha}},
        {FilterKind::DropShadow,
         "DropShadowFilter",
         {F::Distance, F::Angle, F::Color, F::Alpha, F::BlurX, F::BlurY, F::Strength, F::Quality,
          F::Inner, F::Knockout, F::HideObject},
         {F::Distance, F::Angle, F::Color, F::Alpha, F::Quality, F::Inner, F::Knockout, F::BlurX,
          F::BlurY, F::Strength, F::HideObject}},
        {FilterKind::Glow,
         "GlowFilter",
         {F::Color, F::Alpha, F::BlurX, F::BlurY, F::Strength, F::Quality, F::Inner, F::Knockout},
         {F::Color, F::Alpha, F::Quality, F::Inner, F::Knockout, F::BlurX, F::BlurY, F::Strength}},
        {FilterKind::GradientBevel,
         "GradientBevelFilter",
         {F::Distance, F::Angle, F::Colors, F::Alphas, F::Ratios, F::BlurX, F::BlurY, F::Strength,
          F::Quality, F::Type, F::Knockout},
         {F::Distance, F::Angle, F::Colors, F::Alphas, F::Ratios, F::BlurX, F::BlurY, F::Quality,
          F::Strength, F::Knockout, F::Type}},
        {FilterKind::GradientGlow,
         "GradientGlowFilter",
         {F::Distance, F::Angle, F::Colors, F::Alphas, F::Ratios, F::BlurX, F::BlurY, F::Strength,
          F::Quality, F::Type, F::Knockout},
         {F::Distance, F::Angle, F::Colors, F::Alphas, F::Ratios, F::BlurX, F::BlurY, F::Quality,
          F::Strength, F::Knockout, F::Type}},
    };
    return kClasses;
}

const ClassInfo* classOf(FilterKind kind) {
    for (const auto& c : classes()) {
        if (c.kind == kind) {
            return &c;
        }
    }
    return nullptr;
}

FilterObject* filterOf(const Value& v) {
    return dynamic_cast<FilterObject*>(v.asObject());
}

Object* allocateFilter(Vm& vm, Object* proto) {
    return vm.heap().make<FilterObject>(proto);
}

// Array-like values: anything with a length, a string by its characters. Elements that are
// missing or null read as NaN. Nothing for null and undefined.
constexpr std::uint32_t kMaxListLength = 1u << 16;

std::optional<std::vector<double>> readNumbers(Vm& vm, const Value& v) {
    if (v.isNullish()) {
        return std::nullopt;
    }
    const double length = vm.toNumber(vm.get(v, "length"));
    std::vector<double> out;
    if (!(length > 0)) {
        return out;
    }
    const auto n = static_cast<std::uint32_t>(std::min(length, double{kMaxListLength}));
    out.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const Value e = v.isObject() ? vm.get(v, std::to_string(i)) : Value();
        out.push_back(e.isNullish() ? std::nan("") : vm.toNumber(e));
    }
    return out;
}

Value numberArray(Vm& vm, const auto& values) {
    std::vector<Value> items;
    items.reserve(values.size());
    for (const auto v : values) {
        items.emplace_back(static_cast<double>(v));
    }
    return Value(vm.newArray(items));
}

Value filtersClass(Vm& vm, const char* name) {
    return vm.get(Value(packageObject(vm, "flash.filters")), name);
}

Value newPoint(Vm& vm, int x, int y) {
    Vm::NoCollect hold(vm);
    const Value args[] = {Value(static_cast<double>(x)), Value(static_cast<double>(y))};
    return vm.construct(vm.get(Value(packageObject(vm, "flash.geom")), "Point"), args);
}

// A coordinate of the map point: out of range (or NaN) gives the most negative integer.
int pointCoordinate(double v) {
    if (!(v >= -2147483648.0 && v < 2147483648.0)) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

// Both coordinates are read and converted even when one throws; the point is stored, then the
// first error goes on to the script.
void setMapPoint(Vm& vm, FilterValues& f, const Value& v) {
    f.mapPointX = f.mapPointY = 0;
    if (!v.isObject()) {
        return;
    }
    Vm::NoCollect hold(vm);
    const Value x = vm.get(v, "x");
    const Value y = vm.get(v, "y");
    std::optional<ScriptException> error;
    auto convert = [&](const Value& c) {
        if (c.isUndefined()) {
            return 0;
        }
        try {
            return pointCoordinate(vm.toNumber(c));
        } catch (const ScriptException& e) {
            if (!error) {
                error = e;
            }
            return INT_MIN;
        }
    };
    const int px = convert(x);
    const int py = convert(y);
    if (!x.isUndefined() && !y.isUndefined()) {
        f.mapPointX = px;
        f.mapPointY = py;
    }
    if (error) {
        throw *error;
    }
}

Value getField(Vm& vm, FilterObject& o, Field field) {
    const FilterValues& f = o.values;
    switch (field) {
        case Field::Distance:
            return Value(f.distance);
        case Field::Angle:
            return Value(f.angle);
        case Field::Color:
            return Value(static_cast<double>(f.color));
        case Field::Alpha:
            return Value(f.alpha / 255.0);
        case Field::HighlightColor:
            return Value(static_cast<double>(f.highlightColor));
        case Field::HighlightAlpha:
            return Value(f.highlightAlpha / 255.0);
        case Field::ShadowColor:
            return Value(static_cast<double>(f.shadowColor));
        case Field::ShadowAlpha:
            return Value(f.shadowAlpha / 255.0);
        case Field::BlurX:
            return Value(f.blurX);
        case Field::BlurY:
            return Value(f.blurY);
        case Field::Strength:
            return Value(f.strength);
        case Field::Quality:
            return Value(static_cast<double>(f.quality));
        case Field::Inner:
            return Value::boolean(f.inner);
        case Field::Knockout:
            return Value::boolean(f.knockout);
        case Field::HideObject:
            return Value::boolean(f.hideObject);
        case Field::Type:
            return Value(vm.str(f.type));
        case Field::Colors:
            return numberArray(vm, f.shownColors());
        case Field::Alphas: {
            std::vector<double> alphas;
            for (const auto a : f.shownAlphas()) {
                alphas.push_back(a / 255.0);
            }
            return numberArray(vm, alphas);
        }
        case Field::Ratios:
            return numberArray(vm, f.shownRatios());
        case Field::Matrix:
            return f.kind == FilterKind::ColorMatrix ? numberArray(vm, f.colorMatrix)
                                                     : numberArray(vm, f.matrix);
        case Field::MatrixX:
            return Value(static_cast<double>(f.matrixX));
        case Field::MatrixY:
            return Value(static_cast<double>(f.matrixY));
        case Field::Divisor:
            return Value(f.divisor);
        case Field::Bias:
            return Value(f.bias);
        case Field::PreserveAlpha:
            return Value::boolean(f.preserveAlpha);
        case Field::Clamp:
            return Value::boolean(f.clamp);
        case Field::MapBitmap:
            return o.mapBitmap;
        case Field::MapPoint:
            return newPoint(vm, f.mapPointX, f.mapPointY);
        case Field::ComponentX:
            return Value(static_cast<double>(f.componentX));
        case Field::ComponentY:
            return Value(static_cast<double>(f.componentY));
        case Field::ScaleX:
            return Value(f.scaleX);
        case Field::ScaleY:
            return Value(f.scaleY);
        case Field::Mode:
            return Value(vm.str(f.mode));
    }
    return Value();
}

void setField(Vm& vm, FilterObject& o, Field field, const Value& v) {
    FilterValues& f = o.values;
    switch (field) {
        case Field::Distance:
            f.distance = vm.toNumber(v);
            break;
        case Field::Angle:
            f.angle = FilterValues::toAngle(vm.toNumber(v));
            break;
        case Field::Color:
            f.color = FilterValues::toColor(vm.toNumber(v));
            break;
        case Field::Alpha:
            f.alpha = FilterValues::toAlpha(vm.toNumber(v));
            break;
        case Field::HighlightColor:
            f.highlightColor = FilterValues::toColor(vm.toNumber(v));
            break;
        case Field::HighlightAlpha:
            f.highlightAlpha = FilterValues::toAlpha(vm.toNumber(v));
            break;
        case Field::ShadowColor:
            f.shadowColor = FilterValues::toColor(vm.toNumber(v));
            break;
        case Field::ShadowAlpha:
            f.shadowAlpha = FilterValues::toAlpha(vm.toNumber(v));
            break;
        case Field::BlurX:
            f.blurX = FilterValues::toBlur(vm.toNumber(v));
            break;
        case Field::BlurY:
            f.blurY = FilterValues::toBlur(vm.toNumber(v));
            break;
        case Field::Strength:
            f.strength = FilterValues::toStrength(vm.toNumber(v));
            break;
        case Field::Quality:
            f.quality = FilterValues::toQuality(vm.toNumber(v));
            break;
        case Field::Inner:
            f.inner = vm.toBoolean(v);
            break;
        case Field::Knockout:
            f.knockout = vm.toBoolean(v);
            break;
        case Field::HideObject:
            f.hideObject = vm.toBoolean(v);
            break;
        case Field::Type:
            f.type = FilterValues::toType(vm.toStdString(v));
            break;
        case Field::Colors:
            if (auto list = readNumbers(vm, v)) {
                f.setColors(*list);
            }
            break;
        case Field::Alphas:
            if (auto list = readNumbers(vm, v)) {
                f.setAlphas(*list);
            }
            break;
        case Field::Ratios:
            if (auto list = readNumbers(vm, v)) {
                f.setRatios(*list);
            }
            break;
        case Field::Matrix:
            if (f.kind == FilterKind::ColorMatrix) {
                if (auto list = readNumbers(vm, v)) {
                    for (std::size_t i = 0; i < f.colorMatrix.size(); ++i) {
                        f.colorMatrix[i] = i < list->size() ? (*list)[i] : std::nan("");
                    }
                }
            } else if (auto list = readNumbers(vm, v)) {
                f.setMatrix(std::move(*list));
            }
            break;
        case Field::MatrixX:
            f.setMatrixX(FilterValues::toMatrixSize(vm.toNumber(v)));
            break;
        case Field::MatrixY:
            f.setMatrixY(FilterValues::toMatrixSize(vm.toNumber(v)));
            break;
        case Field::Divisor:
            f.divisor = vm.toNumber(v);
            break;
        case Field::Bias:
            f.bias = vm.toNumber(v);
            break;
        case Field::PreserveAlpha:
            f.preserveAlpha = vm.toBoolean(v);
            break;
        case Field::Clamp:
            f.clamp = vm.toBoolean(v);
            break;
        case Field::MapBitmap:
            if (auto* b = dynamic_cast<BitmapDataObject*>(v.asObject()); b != nullptr) {
                o.mapBitmap = v;
                f.mapBitmap = b->pixels;
            }
            break;
        case Field::MapPoint:
            setMapPoint(vm, f, v);
            break;
        case Field::ComponentX:
            f.componentX = vm.toInt32(v);
            break;
        case Field::ComponentY:
            f.componentY = vm.toInt32(v);
            break;
        case Field::ScaleX:
            f.scaleX = FilterValues::toScale(vm.toNumber(v));
            break;
        case Field::ScaleY:
            f.scaleY = FilterValues::toScale(vm.toNumber(v));
            break;
        case Field::Mode:
            f.mode = FilterValues::toMode(vm.toStdString(v));
            break;
    }
}

template <Field F>
Value fieldGetter(Vm& vm, const CallInfo& c) {
    // A subclass instance has no fields until its constructor reaches the filter's.
    FilterObject* o = filterOf(c.thisValue);
    return o != nullptr && o->values.kind != FilterKind::Base ? getField(vm, *o, F) : Value();
}

template <Field F>
Value fieldSetter(Vm& vm, const CallInfo& c) {
    if (FilterObject* o = filterOf(c.thisValue); o != nullptr) {
        setField(vm, *o, F, c.arg(0));
    }
    return Value();
}

template <std::size_t... I>
constexpr auto accessorTable(std::index_sequence<I...>) {
    return std::array<std::pair<NativeFunction, NativeFunction>, sizeof...(I)>{
        std::pair<NativeFunction, NativeFunction>{fieldGetter<static_cast<Field>(I)>,
                                                  fieldSetter<static_cast<Field>(I)>}...};
}

constexpr auto kAccessors = accessorTable(std::make_index_sequence<std::size(kFieldNames)>());

template <FilterKind K>
Value ctorFilter(Vm& vm, const CallInfo& c) {
    FilterObject* o = filterOf(c.thisValue);
    if (!c.construct || o == nullptr) {
        return Value();
    }
    const ClassInfo* info = classOf(K);
    if (info == nullptr) {
        return Value();
    }
    // A filter is made once: constructing it again (super() twice) only converts the
    // arguments.
    struct Keep {
        FilterObject& o;
        std::optional<FilterValues> values;
        Value map;
        ~Keep() {
            if (values) {
                o.values = *values;
                o.mapBitmap = map;
            }
        }
    } keep{*o, std::nullopt, o->mapBitmap};
    if (o->values.kind != FilterKind::Base) {
        keep.values = o->values;
    }
    o->values = FilterValues::defaults(K);
    Vm::NoCollect hold(vm);
    for (std::size_t i = 0; i < c.count() && i < info->arguments.size(); ++i) {
        setField(vm, *o, info->arguments[i], c.arg(i));
    }
    // A colour given without its alpha is opaque.
    const std::size_t last = info->arguments.size() - 1;
    if (info->arguments[last] == Field::Alpha && c.count() == last) {
        setField(vm, *o, Field::Alpha, Value());
    }
    return Value();
}

Value ctorBitmapFilter(Vm&, const CallInfo&) {
    return Value();
}

// A new object of the filter's class (as the scripts' package has it now) with these values.
Value newFilter(Vm& vm, const FilterValues& values, const Value& mapBitmap) {
    const ClassInfo* info = classOf(values.kind);
    if (info == nullptr) {
        return Value();
    }
    Vm::NoCollect hold(vm);
    const Value ctor = filtersClass(vm, info->name);
    Object* proto = vm.get(ctor, "prototype").asObject();
    auto* o = vm.heap().make<FilterObject>(proto != nullptr ? proto : vm.protos().object);
    vm.define(o, "__constructor__", ctor, kDontEnum);
    o->values = values;
    o->mapBitmap = mapBitmap;
    return Value(o);
}

Value cloneFilter(Vm& vm, const CallInfo& c) {
    FilterObject* o = filterOf(c.thisValue);
    if (o == nullptr || o->values.kind == FilterKind::Base) {
        return Value();
    }
    return newFilter(vm, o->values, o->mapBitmap);
}

ClipObject* clipOf(const Value& v) {
    Object* o = v.asObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

Value clipFiltersGet(Vm& vm, const CallInfo& c) {
    ClipObject* clip = clipOf(c.thisValue);
    if (clip == nullptr) {
        return Value();
    }
    const auto records = vm.host().filters(clip->id);
    if (!records) {
        return Value();
    }
    Vm::NoCollect hold(vm);
    std::vector<Value> items;
    if (clip->scriptFilters && clip->scriptFilters->records == *records) {
        for (const auto& f : clip->scriptFilters->values) {
            Value map;
            if (f.mapBitmap) {
                Value ctor = vm.get(Value(packageObject(vm, "flash.display")), "BitmapData");
                Object* proto = vm.get(ctor, "prototype").asObject();
                auto* b =
                    vm.heap().make<BitmapDataObject>(proto != nullptr ? proto : vm.protos().object);
                vm.define(b, "__constructor__", ctor, kDontEnum);
                b->pixels = f.mapBitmap;
                map = Value(b);
            }
            items.push_back(newFilter(vm, f, map));
        }
    } else {
        for (const auto& r : *records) {
            items.push_back(newFilter(vm, fromFilterRecord(r), Value()));
        }
    }
    return Value(vm.newArray(items));
}

Value clipFiltersSet(Vm& vm, const CallInfo& c) {
    ClipObject* clip = clipOf(c.thisValue);
    if (clip == nullptr) {
        return Value();
    }
    auto list = std::make_shared<ScriptFilters>();
    const Value v = c.arg(0);
    if (v.isObject()) {
        const double length = vm.toNumber(vm.get(v, "length"));
        const auto n =
            length > 0 ? static_cast<std::uint32_t>(std::min(length, double{kMaxListLength})) : 0u;
        for (std::uint32_t i = 0; i < n; ++i) {
            FilterObject* f = filterOf(vm.get(v, std::to_string(i)));
            if (f == nullptr || f->values.kind == FilterKind::Base) {
                continue;
            }
            list->values.push_back(keptByDisplay(f->values));
            if (auto record = toFilterRecord(f->values)) {
                list->records.push_back(std::move(*record));
            }
        }
    }
    vm.host().setFilters(clip->id, list->records);
    clip->scriptFilters = std::move(list);
    return Value();
}

}  // namespace

void installFilters(Vm& vm) {
    Object* package = packageObject(vm, "flash.filters");
    Object* baseProto = vm.newObject();
    FunctionObject* base = defineClass(vm, "", ctorBitmapFilter, baseProto, allocateFilter);
    vm.defineNative(baseProto, "clone", cloneFilter);
    vm.define(package, "BitmapFilter", Value(base));

    static constexpr std::pair<FilterKind, NativeFunction> kCtors[] = {
        {FilterKind::Bevel, ctorFilter<FilterKind::Bevel>},
        {FilterKind::Blur, ctorFilter<FilterKind::Blur>},
        {FilterKind::ColorMatrix, ctorFilter<FilterKind::ColorMatrix>},
        {FilterKind::Convolution, ctorFilter<FilterKind::Convolution>},
        {FilterKind::DisplacementMap, ctorFilter<FilterKind::DisplacementMap>},
        {FilterKind::DropShadow, ctorFilter<FilterKind::DropShadow>},
        {FilterKind::Glow, ctorFilter<FilterKind::Glow>},
        {FilterKind::GradientBevel, ctorFilter<FilterKind::GradientBevel>},
        {FilterKind::GradientGlow, ctorFilter<FilterKind::GradientGlow>},
    };
    for (const auto& [kind, ctorFn] : kCtors) {
        const ClassInfo* info = classOf(kind);
        Object* proto = vm.newObject(baseProto);
        FunctionObject* ctor = defineClass(vm, "", ctorFn, proto, allocateFilter);
        // All enumerable, clone included, in the order movies see them listed.
        for (const Field field : info->properties) {
            const auto& [getter, setter] = kAccessors[static_cast<std::size_t>(field)];
            vm.defineAccessor(proto, nameOf(field), getter, setter, 0);
        }
        vm.defineNative(proto, "clone", cloneFilter, 0);
        vm.define(package, info->name, Value(ctor));
    }
    if (Object* clip = vm.protos().movieClip) {
        vm.defineAccessor(clip, "filters", clipFiltersGet, clipFiltersSet, kDontEnum | kVersion8);
    }
}

}  // namespace lib
}  // namespace zd::avm1
