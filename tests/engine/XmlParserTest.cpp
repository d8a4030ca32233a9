#include "DataFile.h"
#include "FileSystem.h"
#include "MemoryFileSystem.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<XmlDocument> parse(const std::string& text)
{
    DataFile file("test.xml", text.data(), static_cast<int>(text.size()));
    return std::unique_ptr<XmlDocument>(parseXml(&file));
}

}

TEST(XmlParser, DeclarationTexts)
{
    const struct {
        const char* text;
        const char* version;
        const char* encoding;
        const char* standalone;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a/>", "1.0", "ISO-8859-1", ""},
        {"<a/>", "1.0", "", ""},
        {"<?xml encoding=\"UTF-8\" standalone=\"yes\"?><a/>", "", "UTF-8", "yes"},
        {"<!-- first --><?xml version=\"1.1\"?><a/>", "1.0", "", ""},   // not the first node
    };
    for (const auto& c : cases) {
        std::unique_ptr<XmlDocument> document = parse(c.text);
        ASSERT_NE(document, nullptr) << c.text;
        EXPECT_EQ(document->version(), c.version) << c.text;
        EXPECT_EQ(document->encoding(), c.encoding) << c.text;
        EXPECT_EQ(document->standalone(), c.standalone) << c.text;
        ASSERT_NE(document->root(), nullptr) << c.text;
        EXPECT_EQ(document->root()->name(), "a");
    }
}

TEST(XmlParser, ConvertsElementsTextsCommentsAndLinks)
{
    std::unique_ptr<XmlDocument> document = parse(
        "<!-- before -->\n"
        "<content>\n"
        "  <tickTime>42</tickTime>\n"
        "  <!-- ships follow -->\n"
        "  <ship name=\"Blue\" speed=\"1.5\" count=\"3\"><mesh>blue.cmsh</mesh></ship>\n"
        "</content>\n"
        "<second/>\n");
    ASSERT_NE(document, nullptr);
    XmlNode* root = document->root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->type(), XmlNode::elementNode);
    EXPECT_EQ(root->name(), "content");
    EXPECT_EQ(root->parent(), nullptr);
    ASSERT_EQ(root->childCount(), 3);   // the comment before the root is dropped

    XmlNode* tick = root->child(0);
    EXPECT_EQ(tick->text(), "");
    ASSERT_EQ(tick->childCount(), 1);
    XmlNode* value = tick->child(0);
    EXPECT_EQ(value->type(), XmlNode::textNode);
    EXPECT_EQ(value->name(), "xml.text");
    EXPECT_EQ(value->text(), "42");
    EXPECT_EQ(value->textAsInt(), 42);
    EXPECT_EQ(value->parent(), tick);

    XmlNode* comment = root->child(1);
    EXPECT_EQ(comment->type(), XmlNode::commentNode);
    EXPECT_EQ(comment->name(), "xml.comment");
    EXPECT_EQ(comment->text(), " ships follow ");

    XmlNode* ship = root->child(2);
    EXPECT_EQ(tick->nextSibling(), comment);
    EXPECT_EQ(comment->nextSibling(), ship);
    EXPECT_EQ(ship->nextSibling(), nullptr);
    ASSERT_EQ(ship->attributeCount(), 3);
    EXPECT_EQ(ship->attribute(0)->name(), "name");
    EXPECT_EQ(ship->attribute(1)->name(), "speed");
    EXPECT_EQ(ship->attribute(2)->name(), "count");
    EXPECT_EQ(root->findElement("mesh")->child(0)->text(), "blue.cmsh");
    EXPECT_EQ(root->findElement("xml.comment"), comment);
    EXPECT_EQ(root->findElement("second"), nullptr);   // only the first top-level element
}

TEST(XmlParser, TextWithoutElementsGivesAnEmptyDocument)
{
    for (const char* text : {"", "   \n", "<!-- only a comment -->", "<?xml version=\"1.0\"?>"}) {
        std::unique_ptr<XmlDocument> document = parse(text);
        ASSERT_NE(document, nullptr) << '"' << text << '"';
        EXPECT_EQ(document->root(), nullptr) << '"' << text << '"';
    }
}

TEST(XmlParser, MalformedTextGivesNull)
{
    const char* cases[] = {
        "<content><ship></content>",        // mismatched end tag
        "<content>",                        // never closed
        "<content attr=\"open></content>",  // unterminated attribute
        "<a><b></b>",                       // truncated
        // UTF-8 text whose last byte leads a four-byte character: TinyXML
        // steps past the end of the text (found by fuzzing; the engine
        // pads the text with zeros so the step lands on one).
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>b\xF4",
        "\xEF\xBB\xBF<a>b\xF4",
    };
    for (const char* text : cases)
        EXPECT_EQ(parse(text), nullptr) << text;
}

TEST(XmlParser, NestingIsBounded)
{
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<n a=\"/>\"><!-- <x> --><![CDATA[<y>]]><leaf/>";
        for (int i = 0; i < depth; ++i)
            text += "</n>";
        return text;
    };
    std::unique_ptr<XmlDocument> fine = parse(nested(200));
    ASSERT_NE(fine, nullptr);
    EXPECT_NE(fine->root()->findElement("leaf"), nullptr);
    // Deep enough to exhaust the stack of a recursive parser.
    EXPECT_EQ(parse(nested(200000)), nullptr);
    // Constructs that hide elements from a careless count: end tags before
    // the first element close nothing, and the parser ends a "<?" tag at its
    // first '>' (a declaration at its first '>' outside a quoted version,
    // encoding or standalone value).
    const struct {
        const char* before;   // written before each nested element
        const char* element;
    } hiding[] = {
        {"</x>", "<n>"},
        {"", "<?p ><n>?>"},
        {"", "<?xml a=\"><n>"},
        {"", "<?XML version=\"a\" b=\"><n>"},
    };
    for (const auto& h : hiding) {
        std::string text;
        for (int i = 0; i < 300; ++i)
            text += h.before;
        text += "<r>";
        for (int i = 0; i < 300; ++i)
            text += h.element;
        for (int i = 0; i < 300; ++i)
            text += "</n>";
        text += "</r>";
        EXPECT_EQ(parse(text), nullptr) << h.element;
    }
    // A quoted declaration value may hold what looks like tags.
    std::unique_ptr<XmlDocument> quoted =
        parse("<r><?xml version=\"></r><r>\"?><leaf/></r>");
    ASSERT_NE(quoted, nullptr);
    EXPECT_NE(quoted->root()->findElement("leaf"), nullptr);
}

TEST(XmlParser, LeavesTheFileToItsOwnerAndReadsPaths)
{
    // No terminating zero in the file's bytes: the parser must not read past them.
    const char text[] = {'<', 'a', '>', '1', '<', '/', 'a', '>'};
    DataFile file("exact.xml", text, sizeof text);
    std::unique_ptr<XmlDocument> document(parseXml(&file));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->root()->child(0)->text(), "1");
    EXPECT_EQ(file.size(), 8);
    EXPECT_EQ(std::memcmp(file.data(), text, sizeof text), 0);
    EXPECT_EQ(parseXml(nullptr), nullptr);

    MemoryFileSystem files;
    files.add("content.xml", "<content><speed>2.5</speed></content>");
    FileSystem::setInstance(&files);
    std::unique_ptr<XmlDocument> fromPath(parseXmlFile("content.xml"));
    std::unique_ptr<XmlDocument> missing(parseXmlFile("missing.xml"));
    FileSystem::setInstance(nullptr);
    ASSERT_NE(fromPath, nullptr);
    EXPECT_DOUBLE_EQ(fromPath->root()->findElement("speed")->child(0)->textAsFloat(), 2.5);
    EXPECT_EQ(missing, nullptr);
}
