#include "engine/swf/Records.h"

#include "engine/swf/ByteReader.h"

namespace zd::engine {

Rect readRect(ByteReader& in) {
    in.align();
    const unsigned bits = in.ub(5);
    Rect r;
    r.xMin = in.sb(bits);
    r.xMax = in.sb(bits);
    r.yMin = in.sb(bits);
    r.yMax = in.sb(bits);
    in.align();
    return r;
}

Rgba readRgb(ByteReader& in) {
    Rgba c;
    c.r = in.u8();
    c.g = in.u8();
    c.b = in.u8();
    return c;
}

Rgba readRgba(ByteReader& in) {
    Rgba c = readRgb(in);
    c.a = in.u8();
    return c;
}

Matrix readMatrix(ByteReader& in) {
    in.align();
    Matrix m;
    if (in.flag()) {
        const unsigned bits = in.ub(5);
        m.a = in.fb(bits);
        m.d = in.fb(bits);
    }
    if (in.flag()) {
        const unsigned bits = in.ub(5);
        m.b = in.fb(bits);
        m.c = in.fb(bits);
    }
    const unsigned bits = in.ub(5);
    m.tx = in.sb(bits);
    m.ty = in.sb(bits);
    in.align();
    return m;
}

ColorTransform readColorTransform(ByteReader& in, bool withAlpha) {
    in.align();
    ColorTransform cx;
    const bool hasAdd = in.flag();
    const bool hasMult = in.flag();
    const unsigned bits = in.ub(4);
    const int channels = withAlpha ? 4 : 3;
    if (hasMult) {
        for (int i = 0; i < channels; ++i) {
            cx.mult[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(in.sb(bits));
        }
    }
    if (hasAdd) {
        for (int i = 0; i < channels; ++i) {
            cx.add[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(in.sb(bits));
        }
    }
    in.align();
    return cx;
}

}  // namespace zd::engine
