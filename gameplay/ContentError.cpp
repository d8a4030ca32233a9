#include "ContentError.h"

#include "XmlAttribute.h"
#include "XmlNode.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char* const prefix = "quorin: content error: ";
// Lines kept for ContentError::text; one broken element can bring a dozen
// reports, and a message box taller than the screen helps no one.
const int keptLines = 10;

std::string firstMessage;
std::vector<std::string> lines;
int reports = 0;

} // namespace

void ContentError::report(const std::string& what)
{
    std::fprintf(stderr, "%s%s\n", prefix, what.c_str());
    if (reports == 0)
        firstMessage = what;
    if (reports < keptLines)
        lines.push_back(prefix + what);
    ++reports;
}

bool ContentError::raised()
{
    return reports > 0;
}

const std::string& ContentError::first()
{
    return firstMessage;
}

int ContentError::count()
{
    return reports;
}

std::string ContentError::text()
{
    std::string result;
    for (const std::string& line : lines) {
        if (!result.empty())
            result += '\n';
        result += line;
    }
    if (reports > keptLines)
        result += "\n(and " + std::to_string(reports - keptLines) + " more)";
    return result;
}

void ContentError::clear()
{
    reports = 0;
    firstMessage.clear();
    lines.clear();
}

XmlNode* contentElement(XmlNode* from, const char* name, const std::string& where)
{
    if (!from)
        return nullptr;
    XmlNode* element = from->findElement(name);
    if (!element)
        ContentError::report("missing element \"" + std::string(name) + "\" in " + where);
    return element;
}

std::string contentText(XmlNode* from, const char* name, const std::string& where)
{
    XmlNode* element = contentElement(from, name, where);
    if (!element)
        return std::string();
    XmlNode* text = element->childCount() > 0 ? element->child(0) : nullptr;
    std::string value = text ? text->text() : std::string();
    if (value.empty())
        ContentError::report("element \"" + std::string(name) + "\" in " + where + " has no text");
    return value;
}

float contentFloat(XmlNode* from, const char* name, const std::string& where)
{
    std::string text = contentText(from, name, where);
    return static_cast<float>(std::atof(text.c_str()));
}

int contentInt(XmlNode* from, const char* name, const std::string& where)
{
    std::string text = contentText(from, name, where);
    return std::atoi(text.c_str());
}

int contentAttributeInt(XmlNode* element, const char* attribute, const std::string& where)
{
    if (!element)
        return 0;
    XmlAttribute* found = element->findAttribute(attribute);
    if (!found) {
        ContentError::report("missing attribute \"" + std::string(attribute) + "\" of " + where);
        return 0;
    }
    return found->valueAsInt();
}
