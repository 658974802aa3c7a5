#include "swfwriter/ActionWriter.h"

#include <cstring>
#include <stdexcept>

namespace zd::swfwriter {

namespace {

void u16(ActionBytes& b, std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xff));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
}

void cstring(ActionBytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

}  // namespace

ActionWriter& ActionWriter::record(std::uint8_t code, const ActionBytes& payload) {
    out_.push_back(code);
    if (code >= 0x80) {
        if (payload.size() > 0xffff) {
            throw std::invalid_argument("action record longer than 65535 bytes");
        }
        u16(out_, payload.size());
        out_.insert(out_.end(), payload.begin(), payload.end());
    }
    return *this;
}

ActionWriter& ActionWriter::act(std::uint8_t code) {
    if (code >= 0x80) {
        throw std::invalid_argument("action with a payload written without one");
    }
    out_.push_back(code);
    return *this;
}

ActionWriter& ActionWriter::push(std::initializer_list<PushItem> items) {
    ActionBytes p;
    for (const PushItem& item : items) {
        if (const auto* s = std::get_if<std::string_view>(&item)) {
            p.push_back(0);
            cstring(p, std::string(*s));
        } else if (const auto* cs = std::get_if<const char*>(&item)) {
            p.push_back(0);
            cstring(p, *cs);
        } else if (const auto* d = std::get_if<double>(&item)) {
            // Doubles are stored as two little-endian words, the high word first.
            std::uint8_t b[8];
            std::memcpy(b, d, 8);
            p.push_back(6);
            p.insert(p.end(), b + 4, b + 8);
            p.insert(p.end(), b, b + 4);
        } else if (const auto* i = std::get_if<int>(&item)) {
            p.push_back(7);
            std::uint8_t b[4];
            const auto v = static_cast<std::int32_t>(*i);
            std::memcpy(b, &v, 4);
            p.insert(p.end(), b, b + 4);
        } else if (const auto* f = std::get_if<Float>(&item)) {
            p.push_back(1);
            std::uint8_t b[4];
            std::memcpy(b, &f->value, 4);
            p.insert(p.end(), b, b + 4);
        } else if (const auto* bo = std::get_if<bool>(&item)) {
            p.push_back(5);
            p.push_back(*bo ? 1 : 0);
        } else if (std::holds_alternative<Null>(item)) {
            p.push_back(2);
        } else if (std::holds_alternative<Undefined>(item)) {
            p.push_back(3);
        } else if (const auto* r = std::get_if<Reg>(&item)) {
            p.push_back(4);
            p.push_back(r->index);
        } else if (const auto* c = std::get_if<Const>(&item)) {
            if (c->index < 256) {
                p.push_back(8);
                p.push_back(static_cast<std::uint8_t>(c->index));
            } else {
                p.push_back(9);
                u16(p, c->index);
            }
        }
    }
    return record(op::Push, p);
}

ActionWriter& ActionWriter::constantPool(const std::vector<std::string>& strings) {
    ActionBytes p;
    u16(p, strings.size());
    for (const auto& s : strings) {
        cstring(p, s);
    }
    return record(op::ConstantPool, p);
}

ActionWriter& ActionWriter::storeRegister(std::uint8_t r) {
    return record(op::StoreRegister, {r});
}

ActionWriter& ActionWriter::setTarget(const std::string& path) {
    ActionBytes p;
    cstring(p, path);
    return record(op::SetTarget, p);
}

ActionWriter& ActionWriter::gotoFrame(std::uint16_t frame) {
    ActionBytes p;
    u16(p, frame);
    return record(op::GotoFrame, p);
}

ActionWriter::Label ActionWriter::newLabel() {
    labels_.push_back(-1);
    return static_cast<Label>(labels_.size() - 1);
}

ActionWriter& ActionWriter::bind(Label l) {
    labels_.at(static_cast<std::size_t>(l)) = static_cast<std::ptrdiff_t>(out_.size());
    return *this;
}

ActionWriter& ActionWriter::jump(Label l) {
    record(op::Jump, {0, 0});
    fixups_.push_back({out_.size() - 2, out_.size(), l});
    return *this;
}

ActionWriter& ActionWriter::ifTrue(Label l) {
    record(op::If, {0, 0});
    fixups_.push_back({out_.size() - 2, out_.size(), l});
    return *this;
}

ActionWriter& ActionWriter::defineFunction(const std::string& name,
                                           const std::vector<std::string>& params,
                                           const ActionWriter& body) {
    const ActionBytes code = body.code();
    ActionBytes p;
    cstring(p, name);
    u16(p, params.size());
    for (const auto& s : params) {
        cstring(p, s);
    }
    u16(p, code.size());
    record(op::DefineFunction, p);
    out_.insert(out_.end(), code.begin(), code.end());
    return *this;
}

ActionWriter& ActionWriter::defineFunction2(const std::string& name, std::uint8_t registerCount,
                                            std::uint16_t flags, const std::vector<Param>& params,
                                            const ActionWriter& body) {
    const ActionBytes code = body.code();
    ActionBytes p;
    cstring(p, name);
    u16(p, params.size());
    p.push_back(registerCount);
    u16(p, flags);
    for (const auto& param : params) {
        p.push_back(param.reg);
        cstring(p, param.name);
    }
    u16(p, code.size());
    record(op::DefineFunction2, p);
    out_.insert(out_.end(), code.begin(), code.end());
    return *this;
}

ActionWriter& ActionWriter::with(const ActionWriter& body) {
    const ActionBytes code = body.code();
    ActionBytes p;
    u16(p, code.size());
    record(op::With, p);
    out_.insert(out_.end(), code.begin(), code.end());
    return *this;
}

ActionWriter& ActionWriter::tryBlock(const ActionWriter& body, const ActionWriter* handler,
                                     const ActionWriter* fin, const std::string& catchName,
                                     int catchRegister) {
    const ActionBytes t = body.code();
    const ActionBytes c = handler ? handler->code() : ActionBytes{};
    const ActionBytes f = fin ? fin->code() : ActionBytes{};
    ActionBytes p;
    std::uint8_t flags = 0;
    if (handler != nullptr) {
        flags |= 0x01;
    }
    if (fin != nullptr) {
        flags |= 0x02;
    }
    if (catchRegister >= 0) {
        flags |= 0x04;
    }
    p.push_back(flags);
    u16(p, t.size());
    u16(p, c.size());
    u16(p, f.size());
    if (catchRegister >= 0) {
        p.push_back(static_cast<std::uint8_t>(catchRegister));
    } else {
        cstring(p, catchName);
    }
    record(op::Try, p);
    out_.insert(out_.end(), t.begin(), t.end());
    out_.insert(out_.end(), c.begin(), c.end());
    out_.insert(out_.end(), f.begin(), f.end());
    return *this;
}

ActionBytes ActionWriter::code() const {
    ActionBytes b = out_;
    for (const Fixup& f : fixups_) {
        const std::ptrdiff_t target = labels_.at(static_cast<std::size_t>(f.label));
        if (target < 0) {
            throw std::invalid_argument("jump to a label never bound");
        }
        const std::ptrdiff_t offset = target - static_cast<std::ptrdiff_t>(f.fromEnd);
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(offset));
        b[f.at] = static_cast<std::uint8_t>(v & 0xff);
        b[f.at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return b;
}

ActionBytes ActionWriter::bytes() const {
    ActionBytes b = code();
    b.push_back(op::End);
    return b;
}

}  // namespace zd::swfwriter
