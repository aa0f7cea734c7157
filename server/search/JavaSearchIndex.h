#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NameMatcher.h"

// One technology's search index (its "index.bnd": packages, classes with their supertypes,
// methods grouped by name) held as prepared names, so that a package, class or method
// search is one pass over folded strings rather than a style sheet over the document.
class CJavaSearchIndex
{
public:
    // Kinds of the Java search box.
    enum CKind : int
    {
        kPackage = 0,
        kClass,
        kMethod,
        kExtends,
        kImplements,
    };

    // One hit: a package, a class, or a method with its class.
    struct CHit
    {
        std::string_view packageName;
        std::string_view className;  // empty for a package
        std::string_view kind;
        std::string_view methodName;  // empty unless a method
        std::string_view signature;
    };

    // Answers are cut to this many hits, the best first.
    static constexpr size_t kLimit = 1000;

    static std::shared_ptr<const CJavaSearchIndex> Load(const std::string& path, std::string& error);

    const std::string& Technology() const { return m_technology; }
    size_t ClassCount() const { return m_classes.size(); }

    // Hits of a search, best first (exact, prefix, camel case, substring; then shorter
    // names), at most limit; total says how many there were.
    std::vector<CHit> Search(int kind, std::string_view query, size_t limit, size_t& total) const;
    // The XML answer the client reads: searchresults with package, class, class/method.
    std::string Answer(int kind, std::string_view query) const;

private:
    struct CPackage
    {
        CFoldedName name;
    };
    struct CClass
    {
        CFoldedName name;
        CFoldedName qualified;
        std::string package;
        std::string kind;
        std::vector<std::string> supertypes;  // folded simple and qualified names
        std::vector<std::string> interfaces;
    };
    struct CMethod
    {
        std::string className;
        std::string package;
        std::string kind;
        std::string signature;
    };
    struct CMethodName
    {
        CFoldedName name;
        std::vector<CMethod> methods;
    };

    std::string m_technology;
    std::vector<CPackage> m_packages;
    std::vector<CClass> m_classes;
    std::vector<CMethodName> m_methods;
};
