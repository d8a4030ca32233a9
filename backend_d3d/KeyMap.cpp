#include "KeyMap.h"

#include "Device.h"

#include <windows.h>

namespace {

const KeyMapRow keyMapRows[KeyMap::rowCount] = {
    {Key::mouseLeft, VK_LBUTTON},
    {Key::mouseRight, VK_RBUTTON},
    {Key::backspace, VK_BACK},
    {Key::tab, VK_TAB},
    {Key::enter, VK_RETURN},
    {Key::escape, VK_ESCAPE},
    {Key::space, VK_SPACE},
    {Key::digit0, '0'}, {Key::digit1, '1'}, {Key::digit2, '2'}, {Key::digit3, '3'},
    {Key::digit4, '4'}, {Key::digit5, '5'}, {Key::digit6, '6'}, {Key::digit7, '7'},
    {Key::digit8, '8'}, {Key::digit9, '9'},
    {Key::letterA, 'A'}, {Key::letterB, 'B'}, {Key::letterC, 'C'}, {Key::letterD, 'D'},
    {Key::letterE, 'E'}, {Key::letterF, 'F'}, {Key::letterG, 'G'}, {Key::letterH, 'H'},
    {Key::letterI, 'I'}, {Key::letterJ, 'J'}, {Key::letterK, 'K'}, {Key::letterL, 'L'},
    {Key::letterM, 'M'}, {Key::letterN, 'N'}, {Key::letterO, 'O'}, {Key::letterP, 'P'},
    {Key::letterQ, 'Q'}, {Key::letterR, 'R'}, {Key::letterS, 'S'}, {Key::letterT, 'T'},
    {Key::letterU, 'U'}, {Key::letterV, 'V'}, {Key::letterW, 'W'}, {Key::letterX, 'X'},
    {Key::letterY, 'Y'}, {Key::letterZ, 'Z'},
    {Key::deleteKey, VK_DELETE},
    {Key::padDivide, VK_DIVIDE},
    {Key::padMultiply, VK_MULTIPLY},
    {Key::padMinus, VK_SUBTRACT},
    {Key::padPlus, VK_ADD},
    {Key::pad0, VK_NUMPAD0}, {Key::pad1, VK_NUMPAD1}, {Key::pad2, VK_NUMPAD2},
    {Key::pad3, VK_NUMPAD3}, {Key::pad4, VK_NUMPAD4}, {Key::pad5, VK_NUMPAD5},
    {Key::pad6, VK_NUMPAD6}, {Key::pad7, VK_NUMPAD7}, {Key::pad8, VK_NUMPAD8},
    {Key::pad9, VK_NUMPAD9},
    {Key::clear, VK_CLEAR},
    {Key::pause, VK_PAUSE},
    {Key::up, VK_UP},
    {Key::down, VK_DOWN},
    {Key::right, VK_RIGHT},
    {Key::left, VK_LEFT},
    {Key::insert, VK_INSERT},
    {Key::home, VK_HOME},
    {Key::end, VK_END},
    {Key::f1, VK_F1}, {Key::f2, VK_F2}, {Key::f3, VK_F3}, {Key::f4, VK_F4},
    {Key::f5, VK_F5}, {Key::f6, VK_F6}, {Key::f7, VK_F7}, {Key::f8, VK_F8},
    {Key::f9, VK_F9}, {Key::f10, VK_F10}, {Key::f11, VK_F11}, {Key::f12, VK_F12},
    {Key::f13, VK_F13}, {Key::f14, VK_F14}, {Key::f15, VK_F15},
    {Key::rightShift, VK_RSHIFT},
    {Key::leftShift, VK_LSHIFT},
    {Key::rightControl, VK_RCONTROL},
    {Key::leftControl, VK_LCONTROL},
    {Key::help, VK_HELP},
    {Key::print, VK_PRINT},
    {Key::menu, VK_MENU},
};

} // namespace

const KeyMapRow* KeyMap::rows()
{
    return keyMapRows;
}
