#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <gtest/gtest.h>

TEST(XmlTree, FindElementTestsDirectChildrenBeforeDescendingInOrder)
{
    // top: p (r (x "deep")), q (x "near")
    XmlNode top(XmlNode::elementNode, "top");
    XmlNode* p = top.createChild("p");
    XmlNode* q = top.createChild("q");
    XmlNode* deep = p->createChild("r")->createChild("x");
    XmlNode* near = q->createChild("x");
    EXPECT_EQ(top.findElement("x"), deep);
    EXPECT_NE(top.findElement("x"), near);

    // A direct child wins over a grandchild under an earlier child.
    XmlNode other(XmlNode::elementNode, "other");
    XmlNode* first = other.createChild("a");
    first->createChild("x");
    other.createChild("b");
    other.createChild("c");
    XmlNode* direct = other.createChild("x");
    EXPECT_EQ(other.findElement("x"), direct);

    // The node itself is never a candidate; names match exactly.
    EXPECT_EQ(top.findElement("top"), nullptr);
    EXPECT_EQ(top.findElement("X"), nullptr);
    EXPECT_EQ(top.findElement(""), nullptr);
}

TEST(XmlTree, AttributesMatchByExactName)
{
    XmlNode node(XmlNode::elementNode, "font");
    node.addAttribute(new XmlAttribute("count", "97"));
    node.addAttribute(new XmlAttribute("size", "1.5px"));
    node.addAttribute(new XmlAttribute("count", "3"));
    EXPECT_EQ(node.findAttribute("Count"), nullptr);
    ASSERT_NE(node.findAttribute("count"), nullptr);
    EXPECT_EQ(node.findAttribute("count")->valueAsInt(), 97);
    EXPECT_DOUBLE_EQ(node.findAttribute("size")->valueAsFloat(), 1.5);
    node.findAttribute("size")->setValue("x");
    EXPECT_EQ(node.findAttribute("size")->valueAsInt(), 0);
}

TEST(XmlTree, ChildByIndexStaysInsideTheChildren)
{
    XmlNode leaf;
    EXPECT_EQ(leaf.type(), XmlNode::otherNode);
    EXPECT_EQ(leaf.childCount(), 0);
    EXPECT_EQ(leaf.child(0), nullptr);
    EXPECT_EQ(leaf.child(7), nullptr);

    XmlNode parent(XmlNode::elementNode, "tickTime");
    XmlNode* value = new XmlNode(XmlNode::textNode, "xml.text");
    parent.addChild(value);
    EXPECT_EQ(parent.child(0), value);
    EXPECT_EQ(parent.child(1), nullptr);   // past the end: refused, reported
    EXPECT_EQ(value->parent(), nullptr);   // addChild sets no link

    XmlNode* made = parent.createChild("made");
    EXPECT_EQ(made->type(), XmlNode::elementNode);
    EXPECT_EQ(made->text(), "");
    EXPECT_EQ(made->childCount(), 0);
    EXPECT_EQ(made->attributeCount(), 0);
    EXPECT_EQ(made->parent(), nullptr);
    EXPECT_EQ(made->nextSibling(), nullptr);
}

TEST(XmlTree, TextConversionsFollowAtoiAndAtof)
{
    const struct {
        const char* text;
        int asInt;
        double asFloat;
    } cases[] = {{"12abc", 12, 12}, {"", 0, 0}, {"1.5", 1, 1.5}, {"  -7", -7, -7}, {"x9", 0, 0}};
    for (const auto& c : cases) {
        XmlNode node(XmlNode::textNode, "xml.text");
        node.setText(c.text);
        EXPECT_EQ(node.textAsInt(), c.asInt) << c.text;
        EXPECT_DOUBLE_EQ(node.textAsFloat(), c.asFloat) << c.text;
    }
}

TEST(XmlTree, DocumentDefaultsAndOwnership)
{
    XmlDocument document;
    EXPECT_EQ(document.root(), nullptr);
    EXPECT_EQ(document.version(), "1.0");
    EXPECT_EQ(document.encoding(), "");
    EXPECT_EQ(document.standalone(), "");
    // Roots replaced or kept are freed once (the sanitizer checks).
    document.setRoot(new XmlNode(XmlNode::elementNode, "old"));
    XmlNode* root = new XmlNode(XmlNode::elementNode, "content");
    root->createChild("ships")->addAttribute(new XmlAttribute("count", "3"));
    document.setRoot(root);
    document.setRoot(root);
    EXPECT_EQ(document.root(), root);
}
