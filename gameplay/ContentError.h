#ifndef QUORIN_CONTENT_ERROR_H
#define QUORIN_CONTENT_ERROR_H

#include <string>

class XmlNode;

// Missing or malformed content. A loader that finds something missing calls
// ContentError::report, which prints "quorin: content error: <what>" on
// stderr and marks the content as failed; the loader then returns null or an
// empty result. The game checks ContentError::raised after every load step
// and, when it is set, stops cleanly: no scene, Device::requestQuit, every
// object released by onShutdown, and a failure exit status from the program.
class ContentError {
public:
    static void report(const std::string& what);
    static bool raised();
    // The first message reported since the last clear.
    static const std::string& first();
    static int count();
    // Every report since the last clear as printed on stderr, one line each
    // ("quorin: content error: <what>"), for a player who has no console.
    // Bounded: past the first lines it only says how many more there were.
    static std::string text();
    // Forgets earlier reports (a new content load starts clean).
    static void clear();
};

// Lookups of content entries that report what is missing instead of
// handing back a null node. "where" names the node searched from, as a path
// for the message ("common/ships", "level 3").
//
// The element named `name` found below `from` (XmlNode::findElement), or
// null after a report. A null `from` (an earlier lookup failed) gives null
// without a second report.
XmlNode* contentElement(XmlNode* from, const char* name, const std::string& where);
// The text of the element (its first child's text). A missing element or an
// element without text is reported; the result is then empty. An element
// holding a file name must have a text, so this is also the file lookup.
std::string contentText(XmlNode* from, const char* name, const std::string& where);
// The text as the number it starts with (like atof / atoi).
float contentFloat(XmlNode* from, const char* name, const std::string& where);
int contentInt(XmlNode* from, const char* name, const std::string& where);
// An attribute of `element` read like atoi; 0 after a report.
int contentAttributeInt(XmlNode* element, const char* attribute, const std::string& where);

#endif
