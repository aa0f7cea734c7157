#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ItemDataManager.h"

class CJavadocCache;
class CLocalItem;
class IModalRunner;
class IUserPrompt;

// The Local collection: the components the CLASSPATH scan found, from Local/components.xml,
// by primary and secondary category.
class CLocalItemDataManager : public CItemDataManager
{
public:
    CLocalItemDataManager(IModalRunner& runner, IUserPrompt& prompt);
    ~CLocalItemDataManager() override;

    // Never downloads: makes sure an index exists, offering a scan when it does not.
    bool UpdateIndex() override;
    // Read anew, so that a scan since the last listing shows.
    bool ListRootItems(CItemList& roots) override { return ListComponentCategories(roots, true); }
    bool ListChildItems(const CTreeItem& parent, CItemList& children) override;
    bool GetItemURL(const CTreeItem& item, std::string& url) override;

    bool LoadComponentList(bool reload);
    // One kind-3 item per distinct primary category.
    bool ListComponentCategories(CItemList& list, bool reload);
    // Scans the CLASSPATH and writes the index directly; true when the scan dialog ended with 1.
    bool ScanClassPath();

    // Where the scan found a component: "foundIn" path, match and class count, in index
    // order (the scan locations' finds; the CLASSPATH's carry none), with the version found
    // there and how, where the index says (empty when it does not).
    struct CPlace
    {
        std::string path;
        std::string match;
        std::string classes;
        std::string relocatedPrefix;
        std::string version;
        std::string basis;  // "catalogue", "fingerprints", "metadata", "manifest", "filename"
        std::vector<std::string> candidates;
        std::string claimedVersion;
        std::string claimedBy;
    };
    std::vector<CPlace> ListPlaces(const std::string& scid);

    // A known vulnerability of a component as the index keeps it: the record, the versions
    // found that it affects, and where those copies are.
    struct CAdvisoryEntry
    {
        std::string id;
        std::vector<std::string> aliases;
        std::string severity;
        std::string summary;
        std::string fixed;
        bool evaluable = true;  // false: the component may be affected
        std::vector<std::string> versions;
        std::vector<std::string> paths;
    };
    std::vector<CAdvisoryEntry> ListAdvisories(const std::string& scid);

    static std::string IndexFile();

private:
    // A component's packages (kind 5) or a package's classes (kind 6), from the server's list
    // of the classes of the versions found here, fetched once per component.
    bool ListMembers(const CLocalItem& parent, CItemList& children);
    const CXmlDocument* ClassList(const std::string& scid);
    // The API page of a package or class on this machine, else the server's page.
    std::string MemberUrl(const std::string& server, const CLocalItem& item);

    // The page of an archive the catalogue does not know: what the index says of it, passed
    // to the server's page as parameters.
    std::string UnidentifiedUrl(const std::string& server, const std::string& id);

    IModalRunner& m_runner;
    IUserPrompt& m_prompt;
    std::unique_ptr<CXmlDocument> m_index;
    std::map<std::string, std::unique_ptr<CXmlDocument>> m_classLists;  // by SCID
    std::unique_ptr<CJavadocCache> m_javadoc;
};
