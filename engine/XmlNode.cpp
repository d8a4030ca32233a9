#include "XmlNode.h"

#include "XmlAttribute.h"

#include <cstdio>
#include <cstdlib>

XmlNode::XmlNode()
    : type_(otherNode), parent_(nullptr), nextSibling_(nullptr)
{
}

XmlNode::XmlNode(int type, const std::string& name)
    : type_(type), name_(name), parent_(nullptr), nextSibling_(nullptr)
{
}

XmlNode::~XmlNode()
{
    for (XmlAttribute* attribute : attributes_)
        delete attribute;
    for (XmlNode* child : children_)
        delete child;
}

int XmlNode::textAsInt() const
{
    return std::atoi(text_.c_str());
}

double XmlNode::textAsFloat() const
{
    return std::atof(text_.c_str());
}

XmlNode* XmlNode::child(unsigned index) const
{
    if (children_.empty())
        return nullptr;
    if (index >= children_.size()) {
        std::fprintf(stderr, "xml: <%s> has %d children, none at index %u\n", name_.c_str(),
                     childCount(), index);
        return nullptr;
    }
    return children_[index];
}

XmlAttribute* XmlNode::attribute(unsigned index) const
{
    return index < attributes_.size() ? attributes_[index] : nullptr;
}

XmlAttribute* XmlNode::findAttribute(const std::string& name) const
{
    for (XmlAttribute* attribute : attributes_)
        if (attribute->name() == name)
            return attribute;
    return nullptr;
}

XmlNode* XmlNode::findElement(const std::string& name) const
{
    for (XmlNode* node : children_)
        if (node->name_ == name)
            return node;
    for (XmlNode* node : children_)
        if (XmlNode* found = node->findElement(name))
            return found;
    return nullptr;
}

void XmlNode::addAttribute(XmlAttribute* attribute)
{
    if (attribute)
        attributes_.push_back(attribute);
}

void XmlNode::addChild(XmlNode* child)
{
    if (child)
        children_.push_back(child);
}

XmlNode* XmlNode::createChild(const std::string& name)
{
    XmlNode* node = new XmlNode(elementNode, name);
    children_.push_back(node);
    return node;
}
