#ifndef QUORIN_XMLPARSER_H
#define QUORIN_XMLPARSER_H

#include <string>

class DataFile;
class XmlDocument;
class XmlNode;
class TiXmlNode;

class XmlParser {
public:
    virtual ~XmlParser();
    // A new document owned by the caller, or null.
    virtual XmlDocument* parse(const DataFile* file) = 0;
};

// Parses with TinyXML and copies the result into the engine's own nodes.
// Only the first top-level element reaches the tree.
class TinyXmlParser : public XmlParser {
public:
    ~TinyXmlParser() override;
    // Null for a null file and (with a message on stderr naming the file,
    // the line and the error) for text that does not parse. Text holding no
    // element at all gives a document with a null root.
    XmlDocument* parse(const DataFile* file) override;
    XmlNode* convertNode(const TiXmlNode* node);
};

XmlParser* createTinyXmlParser();

// The caller keeps the file and owns the document.
XmlDocument* parseXml(const DataFile* file);
// Null when the path cannot be read or does not parse.
XmlDocument* parseXmlFile(const std::string& path);

#endif
