#pragma once

#include <string>

#include "TabPage.h"

class CJavaItemDataManager;

// The Java tab: technologies, packages and classes, searched by the kind chosen in the
// combo box; ShowItem looks up one package, class or method on behalf of the control.
class CJavaTabPage : public CTabPage
{
public:
    // Search kinds: the combo box's positions, then the two lookups of ShowItem.
    enum : int
    {
        kSearchPackage = 0,
        kSearchClass = 1,
        kSearchMethod = 2,
        kSearchExtends = 3,
        kSearchImplements = 4,
        kLookupClass = 5,
        kLookupMethod = 6,
    };

    CJavaTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

    // Searches for the most specific of the three that is not empty, shows the hits under
    // "Search Results" and selects the first (or "Search Results" when there is none).
    void ShowItem(const std::string& packageName, const std::string& className, const std::string& methodName);

protected:
    void InitSearchKinds() override;
    void CreateDataManager() override;
    void RunSearch() override;
    CSearchRunner::CThreadFactory PrepareSearch(const std::string& text) override;

private:
    CSearchRunner::CThreadFactory JavaSearch(std::string packageText, std::string classText, std::string methodText,
                                             int kind) const;

    CJavaItemDataManager* m_javaManager = nullptr;
};
