#include "app/MovieInput.h"

#include <QList>

#include "engine/player/InputScript.h"

namespace zd {

std::optional<MovieKey> movieKeyOf(int qtKey, const QString& text) {
    MovieKey k;
    const QList<uint> chars = text.toUcs4();
    const char32_t typed = chars.size() == 1 ? chars.front() : 0;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        k.code = qtKey - Qt::Key_A + 'A';
        k.ascii = typed != 0 ? typed : static_cast<char32_t>(k.code - 'A' + 'a');
        return k;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        k.code = qtKey - Qt::Key_0 + '0';
        k.ascii = typed != 0 ? typed : static_cast<char32_t>(k.code);
        return k;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15) {
        k.code = 112 + (qtKey - Qt::Key_F1);
        return k;
    }
    static const struct {
        int qt;
        const char* name;
    } kNamed[] = {
        {Qt::Key_Backspace, "Backspace"},
        {Qt::Key_Tab, "Tab"},
        {Qt::Key_Backtab, "Tab"},
        {Qt::Key_Return, "Enter"},
        {Qt::Key_Enter, "Enter"},
        {Qt::Key_Shift, "Shift"},
        {Qt::Key_Control, "Control"},
        {Qt::Key_Alt, "Alt"},
        {Qt::Key_Pause, "Pause"},
        {Qt::Key_CapsLock, "CapsLock"},
        {Qt::Key_Escape, "Escape"},
        {Qt::Key_Space, "Space"},
        {Qt::Key_PageUp, "PageUp"},
        {Qt::Key_PageDown, "PageDown"},
        {Qt::Key_End, "End"},
        {Qt::Key_Home, "Home"},
        {Qt::Key_Left, "ArrowLeft"},
        {Qt::Key_Up, "ArrowUp"},
        {Qt::Key_Right, "ArrowRight"},
        {Qt::Key_Down, "ArrowDown"},
        {Qt::Key_Insert, "Insert"},
        {Qt::Key_Delete, "Delete"},
        {Qt::Key_NumLock, "NumLock"},
        {Qt::Key_ScrollLock, "ScrollLock"},
    };
    for (const auto& n : kNamed) {
        if (n.qt == qtKey && engine::keyFromName(QLatin1String(n.name), k.code, k.ascii)) {
            return k;
        }
    }
    // Punctuation: the key of a US keyboard that gives the character.
    if (typed != 0 && engine::keyFromChar(typed, k.code, k.ascii) && k.code != 0) {
        return k;
    }
    if (typed >= 32) {
        k.ascii = typed;  // a character with no key of its own (an input method's)
        return k;
    }
    return std::nullopt;
}

}  // namespace zd
