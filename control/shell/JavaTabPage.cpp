#include "JavaTabPage.h"

#include <memory>

#include <QComboBox>
#include <QLineEdit>

#include "JavaItemDataManager.h"
#include "JavaSearchThread.h"
#include "PageArtwork.h"
#include "TabPageOwner.h"
#include "UserPrompt.h"
#include "XmlAccess.h"

CJavaTabPage::CJavaTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Java", CPageArtwork::kStripJava, parent)
{
}

void CJavaTabPage::InitSearchKinds()
{
    for (const char* kind : {"Package", "Class/Interface", "Method", "Extends", "Implements"})
        GetSearchKinds()->addItem(QString::fromLatin1(kind));
    GetSearchKinds()->setCurrentIndex(0);
}

void CJavaTabPage::CreateDataManager()
{
    auto manager = std::make_unique<CJavaItemDataManager>(Runner());
    manager->SetLauncher(Owner().GetAutomationFlag());
    m_javaManager = manager.get();
    SetDataManager(std::move(manager));
}

void CJavaTabPage::RegisterAnchors()
{
    RegisterToolbarAnchors(true);
}

void CJavaTabPage::LayoutControls()
{
    LayoutToolbar(false);
}

void CJavaTabPage::AddRootItems()
{
    CItemList technologies;
    if (!m_javaManager->ListJavaTechnologies(technologies))
        return;
    InsertRootGroups(technologies);
}

void CJavaTabPage::ExpandItem(QTreeWidgetItem* treeItem)
{
    if (const CTreeItem* item = ItemOf(treeItem))
        AddChildItems(treeItem, *item);
}

void CJavaTabPage::RunSearch()
{
    const int kind = GetSearchKinds()->currentIndex();
    if (kind < 0) {
        BringToTop();
        return;
    }
    const std::string text = ReadSearchText();
    std::string packageText;
    std::string classText;
    std::string methodText;
    if (kind == kSearchPackage)
        packageText = text;
    else if (kind == kSearchMethod)
        methodText = text;
    else
        classText = text;

    CItemList results;
    const int ended = RunSearchDialog(
        text,
        [&](HWND self) {
            auto search = std::make_unique<CWorker<CJavaSearchThread>>(*m_javaManager, results);
            search->Setup(packageText, classText, methodText, kind, self);
            return search;
        },
        true);
    if (ended == IDOK) {
        if (!results.IsEmpty())
            AddSearchResults(results);
        else
            ShowNoSearchResults(Prompt());
    }
    BringToTop();
}

void CJavaTabPage::ShowItem(const std::string& packageName, const std::string& className,
                            const std::string& methodName)
{
    ClearSearchResults();
    int choice = -1;
    std::string text;
    if (!methodName.empty()) {
        choice = kSearchMethod;
        text = methodName;
    } else if (!className.empty()) {
        choice = kSearchClass;
        text = className;
    } else if (!packageName.empty()) {
        choice = kSearchPackage;
        text = packageName;
    }
    if (choice >= 0) {
        GetSearchKinds()->setCurrentIndex(choice);
        GetSearchEdit()->setText(QString::fromStdString(text));
        const int kind = methodName.empty() ? kLookupClass : kLookupMethod;
        CItemList results;
        RunSearchDialog(
            text,
            [&](HWND self) {
                auto search = std::make_unique<CWorker<CJavaSearchThread>>(*m_javaManager, results);
                search->Setup(packageName, className, methodName, kind, self);
                return search;
            },
            true);
        // Hits or the message, however the dialog ended.
        if (!results.IsEmpty())
            AddSearchResults(results);
        else
            ShowNoSearchResults(Prompt());
        BringToTop();
    }
    SelectSearchResult();
}
