// XML text through the parser and the engine's node tree: the tree is
// walked whole, so every node and attribute the parser made is reachable.
#include "DataFile.h"
#include "FuzzSupport.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"

#include <memory>

namespace {

int walk(XmlNode* node, int depth)
{
    if (!node)
        return 0;
    fuzzCheck(depth < 100000);
    int count = 1 + static_cast<int>(node->name().size() + node->text().size()) % 2;
    for (int i = 0; i < node->attributeCount(); ++i) {
        XmlAttribute* attribute = node->attribute(i);
        fuzzCheck(attribute != nullptr);
        count += attribute->valueAsInt() & 1;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        XmlNode* child = node->child(i);
        fuzzCheck(child != nullptr && child->parent() == node);
        count += walk(child, depth + 1);
    }
    node->findElement("level");
    return count;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DataFile file("fuzz.xml", data, static_cast<int>(size));
    std::unique_ptr<XmlDocument> document(parseXml(&file));
    if (document)
        walk(document->root(), 0);
    return 0;
}
