#include "JavaTabPage.h"

#include <memory>

#include <QComboBox>
#include <QLineEdit>

#include "JavaItemDataManager.h"
#include "JavaSearchThread.h"
#include "PageArtwork.h"
#include "TabPageOwner.h"

CJavaTabPage::CJavaTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Java", CPageArtwork::kStripJava, kSearchKinds | kSearchProgress, parent)
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
    m_javaManager = &SetDataManager(std::make_unique<CJavaItemDataManager>(Runner()));
    m_javaManager->SetLauncher(Owner().GetAutomationFlag());
}

CSearchRunner::CThreadFactory CJavaTabPage::JavaSearch(std::string packageText, std::string classText,
                                                       std::string methodText, int kind) const
{
    CJavaItemDataManager& manager = *m_javaManager;
    return [=, &manager](CItemList& results, HWND dialog) -> std::unique_ptr<CSearchThread> {
        auto search = std::make_unique<CWorker<CJavaSearchThread>>(manager, results);
        search->Setup(packageText, classText, methodText, kind, dialog);
        return search;
    };
}

void CJavaTabPage::RunSearch()
{
    // Without a chosen kind there is nothing to search by.
    if (GetSearchKinds()->currentIndex() < 0) {
        BringToTop();
        return;
    }
    CTabPage::RunSearch();
}

// The kind decides which field carries the text.
CSearchRunner::CThreadFactory CJavaTabPage::PrepareSearch(const std::string& text)
{
    const int kind = GetSearchKinds()->currentIndex();
    const bool inPackage = kind == kSearchPackage;
    const bool inMethod = kind == kSearchMethod;
    return JavaSearch(inPackage ? text : "", inPackage || inMethod ? "" : text, inMethod ? text : "", kind);
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
        RunSearchDialog(text, JavaSearch(packageName, className, methodName, kind), results);
        // Hits or the message, however the dialog ended.
        ShowSearchOutcome(results);
        BringToTop();
    }
    SelectSearchResult();
}
