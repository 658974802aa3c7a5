#include "controls/ClassicEvents.h"

namespace zd::controls {

namespace {

struct KeyPair {
    int qt;
    qint16 vk;
};

// Keys whose code differs from their Qt value. Letters, digits and Space share their codes.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},
    {Qt::Key_Meta, 91},
    {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Punctuation, unshifted and shifted, by the key that carries it on a US keyboard.
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
    // Shifted digits.
    {Qt::Key_ParenRight, 48},
    {Qt::Key_Exclam, 49},
    {Qt::Key_At, 50},
    {Qt::Key_NumberSign, 51},
    {Qt::Key_Dollar, 52},
    {Qt::Key_Percent, 53},
    {Qt::Key_AsciiCircum, 54},
    {Qt::Key_Ampersand, 55},
    {Qt::Key_Asterisk, 56},
    {Qt::Key_ParenLeft, 57},
};

qint16 keypadCode(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return qint16(96 + (qtKey - Qt::Key_0));
    }
    switch (qtKey) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            return 0;
    }
}

}  // namespace

qint16 classicKeyCode(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (const qint16 code = keypadCode(qtKey)) {
            return code;
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) ||
        qtKey == Qt::Key_Space) {
        return qint16(qtKey);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return qint16(112 + (qtKey - Qt::Key_F1));
    }
    for (const KeyPair& pair : kKeys) {
        if (pair.qt == qtKey) {
            return pair.vk;
        }
    }
    return 0;
}

qint16 classicShiftState(Qt::KeyboardModifiers modifiers) {
    qint16 state = 0;
    if (modifiers & Qt::ShiftModifier) {
        state |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        state |= 4;
    }
    return state;
}

qint16 classicButtons(Qt::MouseButtons buttons) {
    qint16 out = 0;
    if (buttons & Qt::LeftButton) {
        out |= 1;
    }
    if (buttons & Qt::RightButton) {
        out |= 2;
    }
    if (buttons & Qt::MiddleButton) {
        out |= 4;
    }
    return out;
}

qint16 classicKeyAscii(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    return static_cast<qint16>(text.at(0).unicode());
}

}  // namespace zd::controls
