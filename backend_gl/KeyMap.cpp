#include "KeyMap.h"

#include "Device.h"

namespace {

const KeyMapRow keyMapRows[KeyMap::rowCount] = {
    {Key::backspace, SDLK_BACKSPACE},
    {Key::tab, SDLK_TAB},
    {Key::enter, SDLK_RETURN},
    {Key::escape, SDLK_ESCAPE},
    {Key::space, SDLK_SPACE},
    {Key::digit0, SDLK_0}, {Key::digit1, SDLK_1}, {Key::digit2, SDLK_2},
    {Key::digit3, SDLK_3}, {Key::digit4, SDLK_4}, {Key::digit5, SDLK_5},
    {Key::digit6, SDLK_6}, {Key::digit7, SDLK_7}, {Key::digit8, SDLK_8},
    {Key::digit9, SDLK_9},
    {Key::letterA, SDLK_a}, {Key::letterB, SDLK_b}, {Key::letterC, SDLK_c},
    {Key::letterD, SDLK_d}, {Key::letterE, SDLK_e}, {Key::letterF, SDLK_f},
    {Key::letterG, SDLK_g}, {Key::letterH, SDLK_h}, {Key::letterI, SDLK_i},
    {Key::letterJ, SDLK_j}, {Key::letterK, SDLK_k}, {Key::letterL, SDLK_l},
    {Key::letterM, SDLK_m}, {Key::letterN, SDLK_n}, {Key::letterO, SDLK_o},
    {Key::letterP, SDLK_p}, {Key::letterQ, SDLK_q}, {Key::letterR, SDLK_r},
    {Key::letterS, SDLK_s}, {Key::letterT, SDLK_t}, {Key::letterU, SDLK_u},
    {Key::letterV, SDLK_v}, {Key::letterW, SDLK_w}, {Key::letterX, SDLK_x},
    {Key::letterY, SDLK_y}, {Key::letterZ, SDLK_z},
    {Key::deleteKey, SDLK_DELETE},
    {Key::padDivide, SDLK_KP_DIVIDE},
    {Key::padMultiply, SDLK_KP_MULTIPLY},
    {Key::padMinus, SDLK_KP_MINUS},
    {Key::padPlus, SDLK_KP_PLUS},
    {Key::pad0, SDLK_KP0}, {Key::pad1, SDLK_KP1}, {Key::pad2, SDLK_KP2},
    {Key::pad3, SDLK_KP3}, {Key::pad4, SDLK_KP4}, {Key::pad5, SDLK_KP5},
    {Key::pad6, SDLK_KP6}, {Key::pad7, SDLK_KP7}, {Key::pad8, SDLK_KP8},
    {Key::pad9, SDLK_KP9},
    {Key::clear, SDLK_CLEAR},
    {Key::pause, SDLK_PAUSE},
    {Key::up, SDLK_UP},
    {Key::down, SDLK_DOWN},
    {Key::right, SDLK_RIGHT},
    {Key::left, SDLK_LEFT},
    {Key::insert, SDLK_INSERT},
    {Key::home, SDLK_HOME},
    {Key::end, SDLK_END},
    {Key::f1, SDLK_F1}, {Key::f2, SDLK_F2}, {Key::f3, SDLK_F3},
    {Key::f4, SDLK_F4}, {Key::f5, SDLK_F5}, {Key::f6, SDLK_F6},
    {Key::f7, SDLK_F7}, {Key::f8, SDLK_F8}, {Key::f9, SDLK_F9},
    {Key::f10, SDLK_F10}, {Key::f11, SDLK_F11}, {Key::f12, SDLK_F12},
    {Key::f13, SDLK_F13}, {Key::f14, SDLK_F14}, {Key::f15, SDLK_F15},
    {Key::rightShift, SDLK_RSHIFT},
    {Key::leftShift, SDLK_LSHIFT},
    {Key::rightControl, SDLK_RCTRL},
    {Key::leftControl, SDLK_LCTRL},
    {Key::help, SDLK_HELP},
    {Key::print, SDLK_PRINT},
    {Key::menu, SDLK_MENU},
};

} // namespace

const KeyMapRow* KeyMap::rows()
{
    return keyMapRows;
}
