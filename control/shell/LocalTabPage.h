#pragma once

#include <vector>

#include <QIcon>
#include <QUrl>

#include "LocalItemDataManager.h"
#include "TabPage.h"

// The Local tab: the components found on this machine by primary and secondary category,
// searched on the component web server among those present here. A component's page shows
// where on this machine the scan found it.
class CLocalTabPage : public CTabPage
{
public:
    CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

    // The script that adds the places to a component's page.
    static std::string PlacesScript(const std::vector<CLocalItemDataManager::CPlace>& places);
    // The script that adds the known vulnerabilities of a component to its page, each with
    // the places of the affected copies.
    static std::string AdvisoriesScript(const std::vector<CLocalItemDataManager::CAdvisoryEntry>& advisories);
    // How the version of a place was established ("version 1.2.0 from class fingerprints",
    // "one of 1.2.0, 1.2.1", "...; the archive's pom.properties says 1.3.0"); empty when the
    // index does not say.
    static std::string VersionText(const CLocalItemDataManager::CPlace& place);

protected:
    void CreateDataManager() override;
    void InitBrowser() override;
    void NavigateToItem(const CTreeItem* item) override;
    CSearchRunner::CThreadFactory PrepareSearch(const std::string& text) override;
    // An affected component shows a warning sign in place of its image.
    QIcon ItemIcon(const CTreeItem& item, int imageKind) const override;

private:
    CLocalItemDataManager* m_localManager = nullptr;
    // The places of the component whose page is loading, shown once it has loaded.
    std::vector<CLocalItemDataManager::CPlace> m_places;
    std::vector<CLocalItemDataManager::CAdvisoryEntry> m_advisories;
    QUrl m_sectionsFor;  // the page they belong to
    // A component's packages and classes, as the Java tab draws them.
    QIcon m_packageIcon;
    QIcon m_classIcon;
};
