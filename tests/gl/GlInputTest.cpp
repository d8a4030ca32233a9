#include "Device.h"
#include "GlInput.h"
#include "KeyMap.h"

#include <SDL/SDL_mouse.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

namespace {

// Records where each key went: "g" game, "c" console.
class RecordingReceiver : public KeyReceiver {
public:
    bool console = false;
    bool visible = false;
    std::vector<std::string> log;

    void gameKey(int key) override { log.push_back("g" + std::to_string(key)); }
    bool hasConsole() override { return console; }
    bool consoleVisible() override { return visible; }
    void consoleKey(int key) override { log.push_back("c" + std::to_string(key)); }
};

struct KeyState {
    uint8_t keys[SDLK_LAST] = {};
    KeyState(std::initializer_list<SDLKey> held)
    {
        for (SDLKey key : held)
            keys[key] = 1;
    }
};

std::vector<std::string> deliver(KeyState state, uint8_t buttons, RecordingReceiver& receiver,
                                 bool* quit = nullptr)
{
    bool ended = deliverHeldKeys(state.keys, SDLK_LAST, buttons, receiver);
    if (quit)
        *quit = ended;
    return receiver.log;
}

} // namespace

TEST(KeyMap, RowsFollowTheScanningOrderWithTheirEngineNumbers)
{
    ASSERT_EQ(KeyMap::rowCount, 87);
    const KeyMapRow* rows = KeyMap::rows();
    struct Expected {
        int row;
        int key;
        SDLKey sdlKey;
    };
    const Expected expected[] = {
        {0, 8, SDLK_BACKSPACE},   {1, 9, SDLK_TAB},          {2, 13, SDLK_RETURN},
        {3, 0x5E5B, SDLK_ESCAPE}, {4, 32, SDLK_SPACE},       {5, 48, SDLK_0},
        {14, 57, SDLK_9},         {15, 97, SDLK_a},          {40, 122, SDLK_z},
        {41, 0x5E3F, SDLK_DELETE}, {42, 47, SDLK_KP_DIVIDE}, {43, 42, SDLK_KP_MULTIPLY},
        {44, 45, SDLK_KP_MINUS},  {45, 43, SDLK_KP_PLUS},    {46, 44, SDLK_KP0},
        {55, 53, SDLK_KP9},       {56, 54, SDLK_CLEAR},      {57, 55, SDLK_PAUSE},
        {58, 56, SDLK_UP},        {59, 57, SDLK_DOWN},       {60, 58, SDLK_RIGHT},
        {61, 59, SDLK_LEFT},      {62, 60, SDLK_INSERT},     {63, 61, SDLK_HOME},
        {64, 62, SDLK_END},       {65, 63, SDLK_F1},         {79, 77, SDLK_F15},
        {80, 78, SDLK_RSHIFT},    {81, 79, SDLK_LSHIFT},     {82, 80, SDLK_RCTRL},
        {83, 81, SDLK_LCTRL},     {84, 83, SDLK_HELP},       {85, 84, SDLK_PRINT},
        {86, 85, SDLK_MENU},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(rows[e.row].key, e.key) << "row " << e.row;
        EXPECT_EQ(rows[e.row].sdlKey, e.sdlKey) << "row " << e.row;
    }
    // The ranges run one number apart, and every SDL key has one row only.
    std::set<int> sdlKeys;
    for (int i = 0; i < KeyMap::rowCount; ++i) {
        EXPECT_TRUE(sdlKeys.insert(rows[i].sdlKey).second) << "SDL key " << rows[i].sdlKey << " twice";
        if ((i > 5 && i <= 14) || (i > 15 && i <= 40) || (i > 46 && i <= 55) || (i > 65 && i <= 79)) {
            EXPECT_EQ(rows[i].key, rows[i - 1].key + 1) << "row " << i;
            EXPECT_EQ(rows[i].sdlKey, rows[i - 1].sdlKey + 1) << "row " << i;
        }
        EXPECT_NE(rows[i].key, 82);
    }
}

TEST(HeldKeys, EscapeEndsTheProgramAndDeliversNothingElse)
{
    RecordingReceiver receiver;
    bool quit = false;
    EXPECT_TRUE(deliver({SDLK_ESCAPE, SDLK_a, SDLK_SPACE}, SDL_BUTTON(SDL_BUTTON_LEFT), receiver, &quit).empty());
    EXPECT_TRUE(quit);

    RecordingReceiver other;
    deliver({SDLK_a}, 0, other, &quit);
    EXPECT_FALSE(quit);
}

TEST(HeldKeys, MouseButtonsGoToTheGameLeftWinning)
{
    struct Case {
        uint8_t buttons;
        bool console;
        std::vector<std::string> expected;
    };
    const uint8_t left = SDL_BUTTON(SDL_BUTTON_LEFT);
    const uint8_t right = SDL_BUTTON(SDL_BUTTON_RIGHT);
    const uint8_t middle = SDL_BUTTON(SDL_BUTTON_MIDDLE);
    const Case cases[] = {
        {left, false, {"g254"}},
        {right, false, {"g255"}},
        {static_cast<uint8_t>(left | right), false, {"g254"}},
        {middle, false, {}},
        // A visible console never takes the mouse.
        {right, true, {"g255"}},
    };
    for (const Case& c : cases) {
        RecordingReceiver receiver;
        receiver.console = receiver.visible = c.console;
        EXPECT_EQ(deliver({}, c.buttons, receiver), c.expected) << int(c.buttons);
    }
}

TEST(HeldKeys, TableRowsArriveInOrderWithSharedNumbers)
{
    RecordingReceiver receiver;
    // Arrow up and digit 8 both give 56 (the digit's row comes first);
    // keypad 8 gives 52 like digit 4; right Ctrl 80 before left Ctrl 81.
    EXPECT_EQ(deliver({SDLK_UP, SDLK_8, SDLK_KP8, SDLK_LCTRL, SDLK_RCTRL, SDLK_x}, 0, receiver),
              (std::vector<std::string>{"g56", "g120", "g52", "g56", "g80", "g81"}));
}

TEST(HeldKeys, ConsoleVisibilityDecidesWhetherTheGameSeesTableKeys)
{
    RecordingReceiver hidden;
    hidden.console = true;
    EXPECT_EQ(deliver({SDLK_RETURN}, 0, hidden), (std::vector<std::string>{"g13", "c13"}));

    RecordingReceiver visible;
    visible.console = visible.visible = true;
    EXPECT_EQ(deliver({SDLK_RETURN, SDLK_b}, SDL_BUTTON(SDL_BUTTON_LEFT), visible),
              (std::vector<std::string>{"g254", "c13", "c98"}));
}

TEST(HeldKeys, OnlyAByteOfExactlyOneCountsAndShortStatesAreSafe)
{
    KeyState state({});
    state.keys[SDLK_a] = 2;
    RecordingReceiver receiver;
    EXPECT_FALSE(deliverHeldKeys(state.keys, SDLK_LAST, 0, receiver));
    EXPECT_TRUE(receiver.log.empty());

    // A key state shorter than the table: keys beyond it are not held.
    uint8_t shortState[SDLK_UP] = {};
    shortState[SDLK_SPACE] = 1;
    RecordingReceiver shortReceiver;
    deliverHeldKeys(shortState, SDLK_UP, 0, shortReceiver);
    EXPECT_EQ(shortReceiver.log, (std::vector<std::string>{"g32"}));

    RecordingReceiver none;
    EXPECT_FALSE(deliverHeldKeys(nullptr, 0, SDL_BUTTON(SDL_BUTTON_LEFT), none));
    EXPECT_EQ(none.log, (std::vector<std::string>{"g254"}));
}

TEST(TakeEvent, MouseEventsMoveThePointerOthersLeaveIt)
{
    int x = 0;
    int y = 0;
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 10;
    motion.motion.y = 20;
    SDL_Event button = {};
    button.type = SDL_MOUSEBUTTONUP;
    button.button.x = 630;
    button.button.y = 470;
    SDL_Event key = {};
    key.type = SDL_KEYDOWN;
    SDL_Event quit = {};
    quit.type = SDL_QUIT;

    EXPECT_FALSE(takeEvent(motion, x, y));
    EXPECT_FALSE(takeEvent(button, x, y));
    EXPECT_FALSE(takeEvent(key, x, y));
    EXPECT_EQ(x, 630);
    EXPECT_EQ(y, 470);
    EXPECT_TRUE(takeEvent(quit, x, y));
    EXPECT_EQ(x, 630);
}
