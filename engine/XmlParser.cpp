#include "XmlParser.h"

#include "DataFile.h"
#include "FileSystem.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <tinyxml.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

namespace {

// Deeper nesting than this is refused before TinyXML, which parses (and the
// engine converts, searches and deletes) recursively, could exhaust the stack.
const int maxNesting = 256;
// Zeros after the text (see TinyXmlParser::parse).
const size_t textPadding = 8;

size_t skipPast(std::string_view text, size_t at, std::string_view end)
{
    size_t found = text.find(end, at);
    return found == std::string_view::npos ? text.size() : found + end.size();
}

bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool startsWithNoCase(std::string_view text, size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k) {
        char c = text[at + k];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != word[k])
            return false;
    }
    return true;
}

// Where TinyXML ends a construct that starts with "<?": an XML declaration
// ("<?xml", any case) at its first '>' outside the quoted values of its
// version, encoding and standalone attributes; anything else at its first
// '>'. Where TinyXML would give up, scanning simply goes on, which can only
// count more.
size_t skipQuestionMarkTag(std::string_view text, size_t at)
{
    const size_t n = text.size();
    if (!startsWithNoCase(text, at, "<?xml"))
        return skipPast(text, at + 2, ">");
    size_t i = at + 5;
    while (i < n) {
        if (text[i] == '>')
            return i + 1;
        while (i < n && isSpace(text[i]))
            ++i;
        if (startsWithNoCase(text, i, "version") || startsWithNoCase(text, i, "encoding") ||
            startsWithNoCase(text, i, "standalone")) {
            while (i < n && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                             static_cast<unsigned char>(text[i]) >= 127 || text[i] == '_' ||
                             text[i] == '-' || text[i] == '.' || text[i] == ':'))
                ++i;
            while (i < n && isSpace(text[i]))
                ++i;
            if (i >= n || text[i] != '=')
                return i;
            ++i;
            while (i < n && isSpace(text[i]))
                ++i;
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                i = skipPast(text, i + 1, text.substr(i, 1));
            } else {
                while (i < n && !isSpace(text[i]) && text[i] != '/' && text[i] != '>') {
                    if (text[i] == '"' || text[i] == '\'')
                        return i;
                    ++i;
                }
            }
        } else {
            while (i < n && text[i] != '>' && !isSpace(text[i]))
                ++i;
        }
    }
    return n;
}

// The deepest element nesting of the text, from its tags alone.
int nestingDepth(std::string_view text)
{
    int depth = 0;
    int deepest = 0;
    size_t i = 0;
    size_t n = text.size();
    auto startsWith = [&](size_t at, std::string_view prefix) {
        return text.compare(at, prefix.size(), prefix) == 0;
    };
    while (i < n) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        char next = i + 1 < n ? text[i + 1] : '\0';
        if (startsWith(i, "<!--")) {
            i = skipPast(text, i + 4, "-->");
        } else if (startsWith(i, "<![CDATA[")) {
            i = skipPast(text, i + 9, "]]>");
        } else if (next == '?') {
            i = skipQuestionMarkTag(text, i);
        } else if (next == '!') {
            i = skipPast(text, i + 2, ">");
        } else if (next == '/') {
            // An end tag outside every element closes nothing (the parser
            // keeps it as an unknown node).
            if (depth > 0)
                --depth;
            i = skipPast(text, i + 2, ">");
        } else {
            // A start tag: find its end outside quoted attribute values.
            char quote = 0;
            char previous = 0;
            ++i;
            while (i < n && (quote || text[i] != '>')) {
                if (quote && text[i] == quote)
                    quote = 0;
                else if (!quote && (text[i] == '"' || text[i] == '\''))
                    quote = text[i];
                previous = text[i];
                ++i;
            }
            if (previous != '/' && ++depth > deepest)
                deepest = depth;
            if (i < n)
                ++i;
        }
    }
    return deepest;
}

}

XmlParser::~XmlParser()
{
}

TinyXmlParser::~TinyXmlParser()
{
}

XmlDocument* TinyXmlParser::parse(const DataFile* file)
{
    if (!file)
        return nullptr;

    TiXmlDocument parsed(file->path().c_str());
    // TinyXML reads a zero-terminated text; the file's bytes carry no zero.
    // It steps over a UTF-8 character as a whole, so a lead byte at the end
    // of the text takes it up to three bytes past the terminating zero:
    // more zeros stop it there instead of in whatever memory follows.
    std::vector<char> text(static_cast<size_t>(file->size()) + textPadding, '\0');
    for (int i = 0; i < file->size(); ++i)
        text[i] = static_cast<char>(file->data()[i]);
    if (nestingDepth(std::string_view(text.data(), static_cast<size_t>(file->size()))) > maxNesting) {
        std::fprintf(stderr, "%s: elements nested deeper than %d levels\n", file->path().c_str(),
                     maxNesting);
        return nullptr;
    }
    parsed.Parse(text.data());

    if (parsed.Error() && parsed.ErrorId() != TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", file->path().c_str(), parsed.ErrorRow(),
                     parsed.ErrorCol(), parsed.ErrorDesc());
        return nullptr;
    }

    XmlDocument* document = new XmlDocument;
    const TiXmlNode* first = parsed.FirstChild();
    if (first) {
        if (const TiXmlDeclaration* declaration = first->ToDeclaration()) {
            document->setVersion(declaration->Version());
            document->setEncoding(declaration->Encoding());
            document->setStandalone(declaration->Standalone());
        }
    }
    document->setRoot(convertNode(parsed.RootElement()));
    return document;
}

XmlNode* TinyXmlParser::convertNode(const TiXmlNode* node)
{
    if (!node)
        return nullptr;

    XmlNode* result = new XmlNode;
    switch (node->Type()) {
    case TiXmlNode::TINYXML_ELEMENT:
        result->setName(node->Value());
        result->setType(XmlNode::elementNode);
        for (const TiXmlAttribute* attribute = node->ToElement()->FirstAttribute(); attribute;
             attribute = attribute->Next())
            result->addAttribute(new XmlAttribute(attribute->Name(), attribute->Value()));
        break;
    case TiXmlNode::TINYXML_COMMENT:
        result->setType(XmlNode::commentNode);
        result->setName("xml.comment");
        result->setText(node->Value());
        break;
    case TiXmlNode::TINYXML_TEXT:
        result->setType(XmlNode::textNode);
        result->setName("xml.text");
        result->setText(node->Value());
        break;
    default:
        break;
    }

    XmlNode* previous = nullptr;
    for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        XmlNode* converted = convertNode(child);
        converted->setParent(result);
        if (previous)
            previous->setNextSibling(converted);
        result->addChild(converted);
        previous = converted;
    }
    return result;
}

XmlParser* createTinyXmlParser()
{
    return new TinyXmlParser;
}

XmlDocument* parseXml(const DataFile* file)
{
    if (!file)
        return nullptr;
    std::unique_ptr<XmlParser> parser(createTinyXmlParser());
    return parser->parse(file);
}

XmlDocument* parseXmlFile(const std::string& path)
{
    std::unique_ptr<DataFile> file(openFile(path));
    if (!file) {
        std::fprintf(stderr, "%s: cannot be read (missing, or refused as said above)\n", path.c_str());
        return nullptr;
    }
    return parseXml(file.get());
}
