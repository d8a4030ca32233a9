#include "XmlDocument.h"

#include "XmlNode.h"

XmlDocument::XmlDocument()
    : root_(nullptr), version_("1.0")
{
}

XmlDocument::~XmlDocument()
{
    delete root_;
}

void XmlDocument::setRoot(XmlNode* root)
{
    if (root != root_)
        delete root_;
    root_ = root;
}
