#include "engine/player/InputScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <iterator>

namespace zd::engine {

bool keyFromChar(char32_t ch, int& code, char32_t& ascii) {
    ascii = ch;
    if (ch >= 'a' && ch <= 'z') {
        code = static_cast<int>(ch - 'a' + 'A');
        return true;
    }
    if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) {
        code = static_cast<int>(ch);
        return true;
    }
    // The keys of a US keyboard that give the other printable characters.
    static const struct {
        char ch;
        int code;
    } kKeys[] = {
        {' ', 32},   {';', 186}, {':', 186}, {'=', 187},  {'+', 187}, {',', 188}, {'<', 188},
        {'-', 189},  {'_', 189}, {'.', 190}, {'>', 190},  {'/', 191}, {'?', 191}, {'`', 192},
        {'~', 192},  {'[', 219}, {'{', 219}, {'\\', 220}, {'|', 220}, {']', 221}, {'}', 221},
        {'\'', 222}, {'"', 222}, {'!', '1'}, {'@', '2'},  {'#', '3'}, {'$', '4'}, {'%', '5'},
        {'^', '6'},  {'&', '7'}, {'*', '8'}, {'(', '9'},  {')', '0'},
    };
    for (const auto& k : kKeys) {
        if (static_cast<char32_t>(static_cast<unsigned char>(k.ch)) == ch) {
            code = k.code;
            return true;
        }
    }
    code = 0;
    return ch != 0;
}

bool keyFromName(const QString& name, int& code, char32_t& ascii) {
    static const struct {
        const char* name;
        int code;
        char32_t ascii;
    } kKeys[] = {
        {"Backspace", 8, 8},   {"Tab", 9, 9},       {"Enter", 13, 13},      {"LeftShift", 16, 0},
        {"RightShift", 16, 0}, {"Shift", 16, 0},    {"LeftControl", 17, 0}, {"RightControl", 17, 0},
        {"Control", 17, 0},    {"LeftAlt", 18, 0},  {"RightAlt", 18, 0},    {"Alt", 18, 0},
        {"Pause", 19, 0},      {"CapsLock", 20, 0}, {"Escape", 27, 27},     {"Space", 32, 32},
        {"PageUp", 33, 0},     {"PageDown", 34, 0}, {"End", 35, 0},         {"Home", 36, 0},
        {"ArrowLeft", 37, 0},  {"ArrowUp", 38, 0},  {"ArrowRight", 39, 0},  {"ArrowDown", 40, 0},
        {"Insert", 45, 0},     {"Delete", 46, 127}, {"NumLock", 144, 0},    {"ScrollLock", 145, 0},
        {"F1", 112, 0},        {"F2", 113, 0},      {"F3", 114, 0},         {"F4", 115, 0},
        {"F5", 116, 0},        {"F6", 117, 0},      {"F7", 118, 0},         {"F8", 119, 0},
        {"F9", 120, 0},        {"F10", 121, 0},     {"F11", 122, 0},        {"F12", 123, 0},
    };
    for (const auto& k : kKeys) {
        if (name == QLatin1String(k.name)) {
            code = k.code;
            ascii = k.ascii;
            return true;
        }
    }
    return false;
}

namespace {

bool readKey(const QJsonValue& v, int& code, char32_t& ascii) {
    if (v.isString()) {
        return keyFromName(v.toString(), code, ascii);
    }
    const QJsonObject o = v.toObject();
    if (o.contains("Char")) {
        const QList<uint> chars = o["Char"].toString().toUcs4();
        return !chars.isEmpty() && keyFromChar(chars.front(), code, ascii);
    }
    if (o.contains("Numpad")) {
        const QString n = o["Numpad"].toString();
        if (n.size() == 1 && n[0].isDigit()) {
            code = 96 + n[0].digitValue();
            ascii = static_cast<char32_t>(n[0].unicode());
            return true;
        }
    }
    return false;
}

}  // namespace

bool readInputScript(const QByteArray& json, InputScript& out, QString* error) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (!doc.isArray()) {
        if (error != nullptr) {
            *error = parse.error != QJsonParseError::NoError
                         ? parse.errorString()
                         : QStringLiteral("not a list of events");
        }
        return false;
    }
    out.steps.assign(1, {});
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString type = o["type"].toString();
        InputEvent e;
        const QJsonArray pos = o["pos"].toArray();
        e.x = pos.size() > 0 ? pos[0].toDouble() : 0;
        e.y = pos.size() > 1 ? pos[1].toDouble() : 0;
        const QString btn = o["btn"].toString();
        e.button = btn == u"Right"    ? MouseButton::Right
                   : btn == u"Middle" ? MouseButton::Middle
                                      : MouseButton::Left;
        if (type == u"Wait") {
            out.steps.emplace_back();
            continue;
        }
        if (type == u"MouseMove") {
            e.type = InputEvent::Type::MouseMove;
        } else if (type == u"MouseDown") {
            e.type = InputEvent::Type::MouseDown;
        } else if (type == u"MouseUp") {
            e.type = InputEvent::Type::MouseUp;
        } else if (type == u"MouseWheel") {
            e.type = InputEvent::Type::MouseWheel;
            e.wheel = o["lines"].toInt();
        } else if (type == u"KeyDown" || type == u"KeyUp") {
            e.type = type == u"KeyDown" ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
            if (!readKey(o["key"], e.keyCode, e.ascii)) {
                continue;
            }
        } else if (type == u"TextInput") {
            e.type = InputEvent::Type::TextInput;
            const QList<uint> chars = o["codepoint"].toString().toUcs4();
            e.text.assign(chars.begin(), chars.end());
        } else if (type == u"ImePreedit") {
            e.type = InputEvent::Type::ImePreedit;
            const QList<uint> chars = o["text"].toString().toUcs4();
            e.text.assign(chars.begin(), chars.end());
            const QJsonArray cursor = o["cursor"].toArray();
            if (!cursor.isEmpty()) {
                e.preeditCursor = std::clamp(cursor[0].toInt(), 0, static_cast<int>(chars.size()));
            }
        } else if (type == u"FocusLost") {
            e.type = InputEvent::Type::FocusLost;
        } else if (type == u"SetClipboardText") {
            e.type = InputEvent::Type::ClipboardChanged;
            const QList<uint> chars = o["text"].toString().toUcs4();
            e.text.assign(chars.begin(), chars.end());
        } else if (type == u"TextControl") {
            static const struct {
                const char* name;
                TextCommand command;
            } kCommands[] = {
                {"Copy", TextCommand::Copy},
                {"Cut", TextCommand::Cut},
                {"Paste", TextCommand::Paste},
                {"SelectAll", TextCommand::SelectAll},
                {"MoveLeft", TextCommand::MoveLeft},
                {"MoveRight", TextCommand::MoveRight},
                {"MoveLeftLine", TextCommand::LineStart},
                {"MoveRightLine", TextCommand::LineEnd},
                {"Backspace", TextCommand::Backspace},
                {"Delete", TextCommand::Delete},
                {"Enter", TextCommand::Enter},
            };
            const QString code = o["code"].toString();
            const auto* known =
                std::find_if(std::begin(kCommands), std::end(kCommands),
                             [&code](const auto& c) { return code == QLatin1String(c.name); });
            if (known == std::end(kCommands)) {
                continue;
            }
            e.type = InputEvent::Type::TextEdit;
            e.command = known->command;
        } else {
            continue;
        }
        out.steps.back().push_back(std::move(e));
    }
    return true;
}

}  // namespace zd::engine
