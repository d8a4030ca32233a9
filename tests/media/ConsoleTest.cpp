#include "MediaFixture.h"

#include "Console.h"
#include "Font.h"
#include "Image.h"
#include "RenderState.h"
#include "Texture.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <memory>

class ConsoleTest : public MediaTest {
protected:
    ConsoleTest()
    {
        XmlNode* root = new XmlNode(XmlNode::elementNode, "settings");
        root->createChild("other")->createChild("x");
        variablesNode = root->createChild("variables");
        tree.setRoot(root);
    }

    // Presses a key, then lets the console clock run a little, so the next
    // key is never held back by this one.
    void press(Console& console, int key)
    {
        console.onKey(key);
        console.draw(0.25f);
    }

    std::string variable(const std::string& name)
    {
        XmlNode* e = variablesNode->findElement(name);
        XmlAttribute* value = e ? e->findAttribute("value") : nullptr;
        return value ? value->value() : "<none>";
    }

    XmlDocument tree;
    XmlNode* variablesNode;
};

TEST_F(ConsoleTest, FontPictureIsCutIntoTheGlyphOrder)
{
    Console console(&tree);
    console.createGraphics();
    Font* font = console.font();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->name(), Console::glyphOrder);
    EXPECT_EQ(Console::glyphOrder.size(), 59u);
    for (unsigned char c : Console::glyphOrder) {
        ASSERT_NE(font->glyph(c), nullptr) << c;
        EXPECT_EQ(font->glyph(c)->width(), 16);
        EXPECT_EQ(font->glyph(c)->height(), 32);
    }
    // Glyphs are light on transparent black; blanks are empty. Every
    // glyph cell, the wrapped ones at the end of a row included, shows
    // something.
    for (unsigned char c : Console::glyphOrder) {
        auto* glyph = static_cast<RecordingTexture*>(font->glyph(c));
        int lit = 0;
        for (uint32_t t : glyph->texels()) {
            ASSERT_TRUE(t == 0 || (t >> 24) == 0xFF);
            lit += t != 0;
        }
        EXPECT_EQ(lit > 0, c != ' ') << c;
    }
    // The background: one black texel at alpha 176.
    auto* background = static_cast<RecordingTexture*>(console.background());
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->width(), 1);
    EXPECT_EQ(background->texel(0, 0), 0xB0000000u);

    console.releaseGraphics();
    EXPECT_EQ(console.font(), nullptr);
    EXPECT_EQ(liveTextures(), 0);
}

TEST_F(ConsoleTest, HeldTabTogglesAtMostEveryFifthOfASecond)
{
    Console console(&tree);
    std::vector<int> toggles;
    bool was = console.isVisible();
    for (int frame = 0; frame < 45; ++frame) {
        console.onKey(9);
        if (console.isVisible() != was)
            toggles.push_back(frame);
        was = console.isVisible();
        console.draw(1.0f / 64);   // exact steps: frame n runs at clock n / 64
    }
    // 0.2 s is 12.8 frames: the first frame at or past each expiry.
    EXPECT_EQ(toggles, (std::vector<int>{0, 13, 26, 39}));
}

TEST_F(ConsoleTest, KeysTypeTheCharactersTheirNumbersSpell)
{
    struct Case {
        int key;
        const char* typed;
    };
    const Case cases[] = {
        {97, "A"},  {32, " "},  {49, "1"},  {56, "8"},  {59, ";"},  {44, ","},  {47, ""},
        {43, "+"},  {65, "A"},  {78, "N"},  {85, "U"},  {24155, ""}, {24127, ""}, {254, ""},
        {42, ""},   {61, "="},  {122, "Z"}, {60, ""},
    };
    Console console(&tree);
    press(console, 9);
    ASSERT_TRUE(console.isVisible());
    for (const Case& c : cases) {
        std::string before = console.line();
        press(console, c.key);
        EXPECT_EQ(console.line(), before + c.typed) << "key " << c.key;
    }
}

TEST_F(ConsoleTest, BackspaceAndHiddenKeys)
{
    Console console(&tree);
    console.onKey(97);                 // hidden: nothing typed...
    console.onKey(9);
    console.onKey(97);                 // ...but 'a' is held back all the same
    EXPECT_EQ(console.line(), "");
    console.draw(0.25f);
    press(console, 97);
    press(console, 98);
    EXPECT_EQ(console.line(), "AB");
    press(console, 8);
    EXPECT_EQ(console.line(), "A");
    press(console, 8);
    press(console, 8);                 // on an empty line: nothing
    EXPECT_EQ(console.line(), "");
}

TEST_F(ConsoleTest, EnterStoresNameAndValueAtTheFirstBlank)
{
    struct Case {
        std::vector<int> keys;
        std::string name, value, lineAfter;
    };
    const Case cases[] = {
        {{'s', 'p', 'e', 'e', 'd', ' ', '1', '0'}, "SPEED", "10", ""},
        {{'a', ' ', 'b', ' ', 'c'}, "A", "B C", ""},
        {{' ', 'x'}, "", "X", ""},
        {{'s', 'o', 'l', 'o'}, "SOLO", "<none>", "SOLO"},
    };
    for (const Case& c : cases) {
        Console console(&tree);
        press(console, 9);
        for (int key : c.keys)
            press(console, key);
        press(console, 13);
        EXPECT_EQ(console.line(), c.lineAfter);
        EXPECT_EQ(variable(c.name), c.value) << c.name;
    }
}

TEST_F(ConsoleTest, SetVariableUpdatesOneElementPerName)
{
    Console console(&tree);
    console.setVariable("SPEED", "10");
    console.setVariable("SPEED", "20");
    EXPECT_EQ(variablesNode->childCount(), 1);
    EXPECT_EQ(variable("SPEED"), "20");
    // An element that exists without a value gets one.
    variablesNode->createChild("BARE");
    console.setVariable("BARE", "1");
    EXPECT_EQ(variable("BARE"), "1");

    XmlDocument noVariables;
    noVariables.setRoot(new XmlNode(XmlNode::elementNode, "settings"));
    Console stray(&noVariables);
    stray.setVariable("SPEED", "10");   // nowhere to store it: nothing happens
    EXPECT_EQ(noVariables.root()->childCount(), 0);
    Console none(nullptr);
    none.setVariable("SPEED", "10");
}

TEST_F(ConsoleTest, PromptDrawsBackgroundLineAndBlinkingCursor)
{
    Console console(&tree);
    console.createGraphics();
    console.draw(0.5f);
    EXPECT_EQ(device.count("drawTriangle"), 0);   // hidden: nothing drawn

    press(console, 9);   // clock 0.75 after this
    press(console, 'a');
    press(console, 'b');   // clock 1.25
    Font* font = console.font();
    struct Case {
        float clockAfter;
        bool cursor;
    };
    // At 1.7 the cursor shows, at 2.2 it does not.
    for (Case c : {Case{1.7f, true}, Case{2.2f, false}}) {
        device.setRenderState(RenderStateType::fillMode, RenderStateValue::fillWireframe);
        device.clearCalls();
        console.draw(c.clockAfter - console.clock());
        std::vector<Placed> drawn = rectangles();
        ASSERT_EQ(drawn.size(), c.cursor ? 4u : 3u);
        EXPECT_EQ(drawn[0].texture, console.background());
        EXPECT_EQ(drawn[0].x, 0);
        EXPECT_EQ(drawn[0].y, 480 - 32);
        EXPECT_EQ(drawn[1].texture, font->glyph('A'));
        EXPECT_EQ(drawn[2].texture, font->glyph('B'));
        EXPECT_EQ(drawn[2].x, 16);
        EXPECT_EQ(drawn[2].y, 480 - 32);
        if (c.cursor) {
            EXPECT_EQ(drawn[3].texture, font->glyph('#'));
        }
        // The fill mode comes back; blending stays on.
        EXPECT_EQ(device.getRenderState(RenderStateType::fillMode), RenderStateValue::fillWireframe);
        EXPECT_EQ(device.getRenderState(RenderStateType::blendMode), RenderStateValue::blendAlpha);
        EXPECT_NE(device.find("setRenderState"), nullptr);
        EXPECT_EQ(device.find("setRenderState")->intArg(0), RenderStateType::fillMode);
        EXPECT_EQ(device.find("setRenderState")->intArg(1), RenderStateValue::fillSolid);
    }
}
