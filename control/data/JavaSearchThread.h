#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ItemList.h"
#include "SearchThread.h"
#include "XmlDocument.h"

class CJavaItem;
class CJavaItemDataManager;

// A Java search over every shown technology, one technology per step; the component web
// server answers each with a result document. Kinds 0 to 4 are the page's search kinds
// (package, class/interface, method, extends, implements); 5 and 6 look up one class or
// one method of one package.
class CJavaSearchThread : public CSearchThread
{
public:
    // manager supplies the shown technologies; results receives the hits.
    CJavaSearchThread(CJavaItemDataManager& manager, CItemList& results);

    void Setup(const std::string& packageText, const std::string& classText, const std::string& methodText,
               std::int32_t kind, HWND targetWindow);

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;

private:
    // Requests one technology's answer and appends its hits to the results.
    void ListSearchResults(const CJavaItem& technology);
    std::string BuildSearchUrl(const CJavaItem& technology) const;

    CJavaItemDataManager& m_manager;
    std::int32_t m_kind = 0;
    std::string m_qtarget;
    CItemList m_technologies;
    size_t m_cursor = 0;
    std::unique_ptr<CXmlDocument> m_resultDocument;
    std::string m_styleSheet;
    std::string m_dataFile;
    std::string m_packageText;
    std::string m_classText;
    std::string m_methodText;
};
