#ifndef QUORIN_XMLNODE_H
#define QUORIN_XMLNODE_H

#include <string>
#include <vector>

class XmlAttribute;

// An element, comment or text of the engine's XML tree. A node owns its
// attributes and children.
class XmlNode {
public:
    enum : int {
        otherNode = 0,
        elementNode = 2,
        commentNode = 3,
        textNode = 4
    };

    XmlNode();
    XmlNode(int type, const std::string& name);
    virtual ~XmlNode();

    void setType(int type) { type_ = type; }
    void setName(const std::string& name) { name_ = name; }
    void setText(const std::string& text) { text_ = text; }
    void setParent(XmlNode* parent) { parent_ = parent; }
    void setNextSibling(XmlNode* next) { nextSibling_ = next; }

    int type() const { return type_; }
    const std::string& name() const { return name_; }
    const std::string& text() const { return text_; }
    // atoi / atof of the text.
    int textAsInt() const;
    double textAsFloat() const;
    XmlNode* parent() const { return parent_; }
    XmlNode* nextSibling() const { return nextSibling_; }

    int childCount() const { return static_cast<int>(children_.size()); }
    // Null without children, and (with a message on stderr) for an index at
    // or past the child count.
    XmlNode* child(unsigned index) const;
    int attributeCount() const { return static_cast<int>(attributes_.size()); }
    XmlAttribute* attribute(unsigned index) const;

    // First attribute of exactly that name (case matters), or null.
    XmlAttribute* findAttribute(const std::string& name) const;
    // Searches below this node: the direct children first, then each child's
    // subtree in order. The node itself is never a candidate.
    XmlNode* findElement(const std::string& name) const;

    // Takes ownership.
    void addAttribute(XmlAttribute* attribute);
    void addChild(XmlNode* child);
    // A new element child of that name.
    XmlNode* createChild(const std::string& name);

private:
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    int type_;
    std::string name_;
    std::string text_;
    std::vector<XmlAttribute*> attributes_;
    std::vector<XmlNode*> children_;
    XmlNode* parent_;
    XmlNode* nextSibling_;
};

#endif
