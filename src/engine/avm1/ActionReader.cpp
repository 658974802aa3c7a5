#include "engine/avm1/ActionReader.h"

#include <cstdio>
#include <cstring>

namespace zd::avm1 {

bool ActionReader::next(ActionRecord& out) {
    if (offset_ >= code_.size()) {
        return false;
    }
    const std::uint8_t code = code_[offset_];
    std::size_t length = 0;
    std::size_t header = 1;
    if (code >= 0x80) {
        if (offset_ + 3 > code_.size()) {
            truncated_ = true;
            return false;
        }
        length = static_cast<std::size_t>(code_[offset_ + 1] | (code_[offset_ + 2] << 8));
        header = 3;
    }
    if (offset_ + header + length > code_.size()) {
        truncated_ = true;
        return false;
    }
    out.code = code;
    out.offset = offset_;
    out.payload = code_.subspan(offset_ + header, length);
    offset_ += header + length;
    return true;
}

const char* actionName(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "End";
        case 0x04:
            return "NextFrame";
        case 0x05:
            return "PrevFrame";
        case 0x06:
            return "Play";
        case 0x07:
            return "Stop";
        case 0x08:
            return "ToggleQuality";
        case 0x09:
            return "StopSounds";
        case 0x0A:
            return "Add";
        case 0x0B:
            return "Subtract";
        case 0x0C:
            return "Multiply";
        case 0x0D:
            return "Divide";
        case 0x0E:
            return "Equals";
        case 0x0F:
            return "Less";
        case 0x10:
            return "And";
        case 0x11:
            return "Or";
        case 0x12:
            return "Not";
        case 0x13:
            return "StringEquals";
        case 0x14:
            return "StringLength";
        case 0x15:
            return "StringExtract";
        case 0x17:
            return "Pop";
        case 0x18:
            return "ToInteger";
        case 0x1C:
            return "GetVariable";
        case 0x1D:
            return "SetVariable";
        case 0x20:
            return "SetTarget2";
        case 0x21:
            return "StringAdd";
        case 0x22:
            return "GetProperty";
        case 0x23:
            return "SetProperty";
        case 0x24:
            return "CloneSprite";
        case 0x25:
            return "RemoveSprite";
        case 0x26:
            return "Trace";
        case 0x27:
            return "StartDrag";
        case 0x28:
            return "EndDrag";
        case 0x29:
            return "StringLess";
        case 0x2A:
            return "Throw";
        case 0x2B:
            return "CastOp";
        case 0x2C:
            return "ImplementsOp";
        case 0x30:
            return "RandomNumber";
        case 0x31:
            return "MBStringLength";
        case 0x32:
            return "CharToAscii";
        case 0x33:
            return "AsciiToChar";
        case 0x34:
            return "GetTime";
        case 0x35:
            return "MBStringExtract";
        case 0x36:
            return "MBCharToAscii";
        case 0x37:
            return "MBAsciiToChar";
        case 0x3A:
            return "Delete";
        case 0x3B:
            return "Delete2";
        case 0x3C:
            return "DefineLocal";
        case 0x3D:
            return "CallFunction";
        case 0x3E:
            return "Return";
        case 0x3F:
            return "Modulo";
        case 0x40:
            return "NewObject";
        case 0x41:
            return "DefineLocal2";
        case 0x42:
            return "InitArray";
        case 0x43:
            return "InitObject";
        case 0x44:
            return "TypeOf";
        case 0x45:
            return "TargetPath";
        case 0x46:
            return "Enumerate";
        case 0x47:
            return "Add2";
        case 0x48:
            return "Less2";
        case 0x49:
            return "Equals2";
        case 0x4A:
            return "ToNumber";
        case 0x4B:
            return "ToString";
        case 0x4C:
            return "PushDuplicate";
        case 0x4D:
            return "StackSwap";
        case 0x4E:
            return "GetMember";
        case 0x4F:
            return "SetMember";
        case 0x50:
            return "Increment";
        case 0x51:
            return "Decrement";
        case 0x52:
            return "CallMethod";
        case 0x53:
            return "NewMethod";
        case 0x54:
            return "InstanceOf";
        case 0x55:
            return "Enumerate2";
        case 0x60:
            return "BitAnd";
        case 0x61:
            return "BitOr";
        case 0x62:
            return "BitXor";
        case 0x63:
            return "BitLShift";
        case 0x64:
            return "BitRShift";
        case 0x65:
            return "BitURShift";
        case 0x66:
            return "StrictEquals";
        case 0x67:
            return "Greater";
        case 0x68:
            return "StringGreater";
        case 0x69:
            return "Extends";
        case 0x81:
            return "GotoFrame";
        case 0x83:
            return "GetURL";
        case 0x87:
            return "StoreRegister";
        case 0x88:
            return "ConstantPool";
        case 0x8A:
            return "WaitForFrame";
        case 0x8B:
            return "SetTarget";
        case 0x8C:
            return "GoToLabel";
        case 0x8D:
            return "WaitForFrame2";
        case 0x8E:
            return "DefineFunction2";
        case 0x8F:
            return "Try";
        case 0x94:
            return "With";
        case 0x96:
            return "Push";
        case 0x99:
            return "Jump";
        case 0x9A:
            return "GetURL2";
        case 0x9B:
            return "DefineFunction";
        case 0x9D:
            return "If";
        case 0x9E:
            return "Call";
        case 0x9F:
            return "GotoFrame2";
        default:
            return "Unknown";
    }
}

namespace {

std::string quoted(std::span<const std::uint8_t> p, std::size_t& at) {
    std::string s = "\"";
    while (at < p.size() && p[at] != 0) {
        s.push_back(static_cast<char>(p[at++]));
    }
    ++at;
    return s + "\"";
}

std::string pushOperands(std::span<const std::uint8_t> p) {
    std::string out;
    std::size_t at = 0;
    char buf[64];
    while (at < p.size()) {
        const std::uint8_t type = p[at++];
        if (!out.empty()) {
            out += ", ";
        }
        switch (type) {
            case 0:
                out += quoted(p, at);
                break;
            case 1:
                if (at + 4 <= p.size()) {
                    float f;
                    std::memcpy(&f, &p[at], 4);
                    std::snprintf(buf, sizeof buf, "%gf", static_cast<double>(f));
                    out += buf;
                }
                at += 4;
                break;
            case 2:
                out += "null";
                break;
            case 3:
                out += "undefined";
                break;
            case 4:
                if (at < p.size()) {
                    out += "r" + std::to_string(p[at]);
                }
                ++at;
                break;
            case 5:
                if (at < p.size()) {
                    out += p[at] ? "true" : "false";
                }
                ++at;
                break;
            case 6:
                if (at + 8 <= p.size()) {
                    std::uint8_t b[8];
                    std::memcpy(b, &p[at + 4], 4);
                    std::memcpy(b + 4, &p[at], 4);
                    double d;
                    std::memcpy(&d, b, 8);
                    std::snprintf(buf, sizeof buf, "%.17g", d);
                    out += buf;
                }
                at += 8;
                break;
            case 7:
                if (at + 4 <= p.size()) {
                    std::int32_t i;
                    std::memcpy(&i, &p[at], 4);
                    out += std::to_string(i);
                }
                at += 4;
                break;
            case 8:
                if (at < p.size()) {
                    out += "c" + std::to_string(p[at]);
                }
                ++at;
                break;
            case 9:
                if (at + 2 <= p.size()) {
                    out += "c" + std::to_string(p[at] | (p[at + 1] << 8));
                }
                at += 2;
                break;
            default:
                out += "?";
                at = p.size();
        }
    }
    return out;
}

}  // namespace

std::string disassemble(std::span<const std::uint8_t> code) {
    std::string out;
    ActionReader reader(code);
    ActionRecord r;
    char buf[32];
    while (reader.next(r)) {
        std::snprintf(buf, sizeof buf, "%6zu  ", r.offset);
        out += buf;
        out += actionName(r.code);
        std::size_t at = 0;
        const auto& p = r.payload;
        switch (r.code) {
            case 0x96:
                out += " " + pushOperands(p);
                break;
            case 0x88: {
                at = 2;
                int i = 0;
                while (at < p.size()) {
                    out += (i == 0 ? " " : ", ") + std::string("c") + std::to_string(i) + "=" +
                           quoted(p, at);
                    ++i;
                }
                break;
            }
            case 0x99:
            case 0x9D:
                if (p.size() >= 2) {
                    const auto off = static_cast<std::int16_t>(p[0] | (p[1] << 8));
                    out += " -> " + std::to_string(static_cast<long>(r.end()) + off);
                }
                break;
            case 0x9B:
            case 0x8E:
                out += " " + quoted(p, at);
                break;
            case 0x83:
            case 0x8B:
            case 0x8C:
                out += " " + quoted(p, at);
                if (r.code == 0x83) {
                    out += " " + quoted(p, at);
                }
                break;
            case 0x87:
                if (!p.empty()) {
                    out += " r" + std::to_string(p[0]);
                }
                break;
            default:
                break;
        }
        out += '\n';
    }
    if (reader.truncated()) {
        out += "(truncated record)\n";
    }
    return out;
}

}  // namespace zd::avm1
