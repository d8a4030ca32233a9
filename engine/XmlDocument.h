#ifndef QUORIN_XMLDOCUMENT_H
#define QUORIN_XMLDOCUMENT_H

#include <string>

class XmlNode;

// A parsed XML file: its root element (owned) and the texts of its XML
// declaration.
class XmlDocument {
public:
    XmlDocument();
    virtual ~XmlDocument();

    XmlNode* root() const { return root_; }
    // Takes ownership; a previous root is deleted.
    void setRoot(XmlNode* root);
    const std::string& version() const { return version_; }
    const std::string& encoding() const { return encoding_; }
    const std::string& standalone() const { return standalone_; }
    void setVersion(const std::string& version) { version_ = version; }
    void setEncoding(const std::string& encoding) { encoding_ = encoding; }
    void setStandalone(const std::string& standalone) { standalone_ = standalone; }

private:
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    XmlNode* root_;
    std::string encoding_;
    std::string version_;
    std::string standalone_;
};

#endif
