#include "XmlAttribute.h"

#include <cstdlib>

XmlAttribute::XmlAttribute(const std::string& name, const std::string& value)
    : name_(name), value_(value)
{
}

XmlAttribute::~XmlAttribute()
{
}

int XmlAttribute::valueAsInt() const
{
    return std::atoi(value_.c_str());
}

double XmlAttribute::valueAsFloat() const
{
    return std::atof(value_.c_str());
}
