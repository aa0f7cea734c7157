#include "LocalTabPage.h"

#include <memory>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "LocalItem.h"
#include "LocalSearchThread.h"
#include "PageArtwork.h"

CLocalTabPage::CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Local", CPageArtwork::kStripLocal, kStartBlank, parent)
{
}

void CLocalTabPage::CreateDataManager()
{
    // The manager offers the CLASSPATH scan when there is no index yet.
    m_localManager = &SetDataManager(std::make_unique<CLocalItemDataManager>(Runner(), Prompt()));
}

void CLocalTabPage::InitBrowser()
{
    CTabPage::InitBrowser();
    connect(GetBrowser(), &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok && !m_places.empty())
            GetBrowser()->page()->runJavaScript(QString::fromStdString(PlacesScript(m_places)));
        m_places.clear();
    });
}

void CLocalTabPage::NavigateToItem(const CTreeItem* item)
{
    m_places.clear();
    const auto* component = dynamic_cast<const CLocalItem*>(item);
    if (component && component->GetKind() == ITEM_LEAF && m_localManager)
        m_places = m_localManager->ListPlaces(component->GetScid());
    CTabPage::NavigateToItem(item);
}

namespace
{
std::string BasisCaption(const std::string& basis)
{
    if (basis == "fingerprints")
        return "from class fingerprints";
    if (basis == "metadata")
        return "from its pom.properties";
    if (basis == "manifest")
        return "from its MANIFEST.MF";
    if (basis == "filename")
        return "from its file name";
    return "from the catalogue";
}
}  // namespace

std::string CLocalTabPage::VersionText(const CLocalItemDataManager::CPlace& place)
{
    std::string text;
    if (!place.version.empty()) {
        text = "version " + place.version + " " + BasisCaption(place.basis);
    } else if (!place.candidates.empty()) {
        text = "one of ";
        for (size_t i = 0; i < place.candidates.size(); ++i)
            text += (i ? ", " : "") + place.candidates[i];
    }
    if (!place.claimedVersion.empty())
        text += (text.empty() ? "" : "; ") + std::string("the archive's ") +
                (place.claimedBy.empty() ? "metadata" : place.claimedBy) + " says " + place.claimedVersion;
    return text;
}

std::string CLocalTabPage::PlacesScript(const std::vector<CLocalItemDataManager::CPlace>& places)
{
    // The places travel as JSON and become text nodes: nothing of a path or version is read
    // as markup.
    QJsonArray rows;
    for (const auto& place : places) {
        std::string how = place.match + ", " + place.classes + " classes";
        if (!place.relocatedPrefix.empty())
            how += ", under " + place.relocatedPrefix;
        rows.append(QJsonObject{{"path", QString::fromStdString(place.path)},
                                {"how", QString::fromStdString(how)},
                                {"version", QString::fromStdString(VersionText(place))}});
    }
    const QByteArray json = QJsonDocument(rows).toJson(QJsonDocument::Compact);
    return "(function (places) {"
           " var section = document.createElement('div'); section.id = 'corvane-places';"
           " section.style.cssText = 'margin:1.5em 0';"
           " var title = document.createElement('h2'); title.textContent = 'Found on this machine';"
           " section.appendChild(title);"
           " var list = document.createElement('ul'); section.appendChild(list);"
           " places.forEach(function (place) {"
           "   var item = document.createElement('li');"
           "   item.textContent = place.path + ' (' + place.how + ')' + (place.version ? ': ' + place.version : '');"
           "   list.appendChild(item); });"
           // At the end of the page's own content, where there is one.
           " var main = document.querySelector('main');"
           " (main || document.body || document.documentElement).appendChild(section);"
           "})(" +
           json.toStdString() + ");";
}

CSearchRunner::CThreadFactory CLocalTabPage::PrepareSearch(const std::string& text)
{
    return [text](CItemList& results, HWND dialog) -> std::unique_ptr<CSearchThread> {
        auto search = std::make_unique<CWorker<CLocalSearchThread>>(results);
        search->Setup(text, dialog);
        return search;
    };
}
