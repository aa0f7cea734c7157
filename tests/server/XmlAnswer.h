#pragma once

#include <memory>
#include <string>
#include <vector>

struct _xmlDoc;

// An XML answer parsed for the test to read with XPath, the way the client reads it.
class CXmlAnswer
{
public:
    explicit CXmlAnswer(const std::string& text);
    ~CXmlAnswer();

    bool WellFormed() const { return m_doc != nullptr; }
    // The string values of the nodes an XPath expression selects, in document order.
    std::vector<std::string> Values(const std::string& xpath) const;
    size_t Count(const std::string& xpath) const { return Values(xpath).size(); }

private:
    _xmlDoc* m_doc = nullptr;
};

// Values joined with "|", so that a table of cases can say what it expects in one string.
std::string Joined(const std::vector<std::string>& values);
