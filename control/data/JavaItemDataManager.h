#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ItemDataManager.h"

class CJavaItem;
class IModalRunner;

// The Java collection: technologies from "Java/index.xml" (refreshed from the distribution
// server), filtered by "preferences.xml"; packages from the index; classes from one data
// file per package, fetched from the component web server once and then kept.
class CJavaItemDataManager : public CItemDataManager
{
public:
    // runner shows the progress dialog of the index download.
    explicit CJavaItemDataManager(IModalRunner& runner);
    ~CJavaItemDataManager() override;

    // Download-if-newer of "Java/index.xml"; skipped in offline mode. Always true.
    bool UpdateIndex() override;
    // The displayed technologies.
    bool ListRootItems(CItemList& roots) override { return ListJavaTechnologies(roots); }
    bool ListChildItems(const CTreeItem& parent, CItemList& children) override;
    bool GetItemURL(const CTreeItem& item, std::string& url) override;

    // Loads the index once per manager; later calls answer true, even after a failed load.
    // Safe from the page's thread and a search thread at the same time.
    bool LoadTechnologies();
    // Technology identifier to its show flag from "preferences.xml"; the first entry wins.
    bool ListDisplayTechnologies(std::map<std::string, bool>& technologies);
    // The shown technologies (kind 3), sorted by their display text.
    bool ListJavaTechnologies(CItemList& technologies);
    // Every technology of a loaded index (kind 3), sorted by display text; owner names the
    // reader in the error reports.
    static void ListIndexTechnologies(const CXmlDocument& index, CItemList& technologies, std::string_view owner);
    void SetLauncher(std::int32_t launcher) { m_launcher = launcher; }

    // The version text of the first home URL: 1.2.0.5 gives "1.2.5", 1.2.3.4 "1.2.196612".
    static std::string FormatVersionText(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS);
    // The file version of the binary holding this code; zeros when it cannot be read.
    static std::string GetVersionText();
    // Whether a name from the server may stand as one component of a local path.
    static bool IsSafePathComponent(const std::string& name);

private:
    bool ListPackages(const CJavaItem& technology, CItemList& children);
    bool ListClasses(const CJavaItem& package, CItemList& children);

    IModalRunner& m_runner;
    std::mutex m_indexMutex;
    std::unique_ptr<CXmlDocument> m_indexDocument;
    std::int32_t m_launcher = 0;
};
