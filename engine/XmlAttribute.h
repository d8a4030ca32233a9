#ifndef QUORIN_XMLATTRIBUTE_H
#define QUORIN_XMLATTRIBUTE_H

#include <string>

class XmlAttribute {
public:
    XmlAttribute(const std::string& name, const std::string& value);
    virtual ~XmlAttribute();

    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    void setValue(const std::string& value) { value_ = value; }
    // atoi / atof of the value.
    int valueAsInt() const;
    double valueAsFloat() const;

private:
    std::string name_;
    std::string value_;
};

#endif
