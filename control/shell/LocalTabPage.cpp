#include "LocalTabPage.h"

#include <memory>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStyle>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "LocalItem.h"
#include "LocalSearchThread.h"
#include "PageArtwork.h"

CLocalTabPage::CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Local", CPageArtwork::kStripLocal, kStartBlank, parent),
      m_packageIcon(CPageArtwork::TreeIcon(CPageArtwork::kStripJava, ITEM_SUBGROUP)),
      m_classIcon(CPageArtwork::TreeIcon(CPageArtwork::kStripJava, ITEM_LEAF))
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
        // The end of an earlier load (one cut short by this navigation) leaves them waiting.
        if (GetBrowser()->url() != m_sectionsFor)
            return;
        if (ok && !m_advisories.empty())
            GetBrowser()->page()->runJavaScript(QString::fromStdString(AdvisoriesScript(m_advisories)));
        if (ok && !m_places.empty())
            GetBrowser()->page()->runJavaScript(QString::fromStdString(PlacesScript(m_places)));
        m_places.clear();
        m_advisories.clear();
    });
}

void CLocalTabPage::NavigateToItem(const CTreeItem* item)
{
    m_places.clear();
    m_advisories.clear();
    const auto* component = dynamic_cast<const CLocalItem*>(item);
    m_sectionsFor = QUrl();
    if (std::string url; component && component->GetKind() == ITEM_LEAF && m_localManager &&
                         m_localManager->GetItemURL(*component, url)) {
        m_places = m_localManager->ListPlaces(component->GetScid());
        m_advisories = m_localManager->ListAdvisories(component->GetScid());
        m_sectionsFor = QUrl(QString::fromStdString(url));
    }
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

std::string CLocalTabPage::AdvisoriesScript(const std::vector<CLocalItemDataManager::CAdvisoryEntry>& advisories)
{
    // As the places: JSON that becomes text nodes, so that no summary is read as markup.
    auto strings = [](const std::vector<std::string>& values) {
        QJsonArray array;
        for (const std::string& value : values)
            array.append(QString::fromStdString(value));
        return array;
    };
    QJsonArray rows;
    for (const auto& advisory : advisories)
        rows.append(QJsonObject{{"id", QString::fromStdString(advisory.id)},
                                {"aliases", strings(advisory.aliases)},
                                {"severity", QString::fromStdString(advisory.severity)},
                                {"summary", QString::fromStdString(advisory.summary)},
                                {"fixed", QString::fromStdString(advisory.fixed)},
                                {"evaluable", advisory.evaluable},
                                {"versions", strings(advisory.versions)},
                                {"paths", strings(advisory.paths)}});
    const QByteArray json = QJsonDocument(rows).toJson(QJsonDocument::Compact);
    return "(function (advisories) {"
           " function add(parent, tag, text) { var e = document.createElement(tag);"
           "   if (text) e.textContent = text; parent.appendChild(e); return e; }"
           " var section = document.createElement('div'); section.id = 'corvane-advisories';"
           " section.style.cssText = 'margin:1.5em 0';"
           " add(section, 'h2', 'Known vulnerabilities');"
           " var list = add(section, 'ul');"
           " advisories.forEach(function (advisory) {"
           "   var item = add(list, 'li');"
           "   var link = add(item, 'a', advisory.id);"
           "   link.href = 'https://osv.dev/vulnerability/' + encodeURIComponent(advisory.id);"
           "   var facts = (advisory.aliases.length ? ' (' + advisory.aliases.join(', ') + ')' : '') +"
           "     ': ' + advisory.severity + (advisory.evaluable ? '' : ', may affect this version') +"
           "     (advisory.fixed ? ', fixed in ' + advisory.fixed : ', no fixed version known');"
           "   item.appendChild(document.createTextNode(facts));"
           "   if (advisory.summary) add(item, 'p', advisory.summary);"
           "   if (advisory.paths.length) add(item, 'p', 'Affected copies (' + advisory.versions.join(', ') + '): ' +"
           "     advisory.paths.join(', '));"
           " });"
           " var main = document.querySelector('main');"
           " (main || document.body || document.documentElement).appendChild(section);"
           "})(" +
           json.toStdString() + ");";
}

QIcon CLocalTabPage::ItemIcon(const CTreeItem& item, int imageKind) const
{
    const auto* local = dynamic_cast<const CLocalItem*>(&item);
    if (local && local->IsAffected())
        return style()->standardIcon(QStyle::SP_MessageBoxWarning);
    // A component's packages and classes look as the Java tab's do.
    if (imageKind == ITEM_LOCAL_PACKAGE || imageKind == ITEM_LOCAL_CLASS)
        return imageKind == ITEM_LOCAL_PACKAGE ? m_packageIcon : m_classIcon;
    return CTabPage::ItemIcon(item, imageKind);
}

CSearchRunner::CThreadFactory CLocalTabPage::PrepareSearch(const std::string& text)
{
    return [text](CItemList& results, HWND dialog) -> std::unique_ptr<CSearchThread> {
        auto search = std::make_unique<CWorker<CLocalSearchThread>>(results);
        search->Setup(text, dialog);
        return search;
    };
}
