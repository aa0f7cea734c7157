#include "ScanPipeline.h"

#include <algorithm>
#include <utility>

#include "DirectMatcher.h"
#include "IndexWriter.h"
#include "RelocatedMatcher.h"
#include "Settings.h"
#include "UnitContent.h"
#include "VersionMatcher.h"

std::vector<std::unique_ptr<IMatcher>> ScanMatchers()
{
    std::vector<std::unique_ptr<IMatcher>> matchers;
    matchers.push_back(std::make_unique<CDirectMatcher>());
    matchers.push_back(std::make_unique<CRelocatedMatcher>());
    matchers.push_back(std::make_unique<CVersionMatcher>());
    return matchers;
}

namespace
{
// A unit no component was found in, named as far as its own content allows: its
// pom.properties, else its manifest, else a file name that carries a version.
CUnidentified Describe(const CScanUnit& unit)
{
    CUnidentified described{unit.GetPath(), unit.IsNested(), "unidentified", {}, {}, {}, {}, {}, {},
                            unit.GetDistinctNames().size()};
    CUnitContent* content = unit.GetContent();
    if (!content)
        return described;
    const CArchiveMetadata& metadata = content->GetMetadata();
    if (metadata.HasPom()) {
        described.match = "metadata";
        described.group = metadata.GetGroup();
        described.artifact = metadata.GetArtifact();
        described.version = metadata.GetPomVersion();
        described.name = metadata.GetArtifact();
    } else if (!metadata.GetManifestName().empty()) {
        described.match = "manifest";
        described.name = metadata.GetManifestName();
        described.version = metadata.GetManifestVersion();
    } else if (content->IsArchive() && !metadata.GetFileVersion().empty()) {
        described.match = "filename";
        described.name = metadata.GetFileName();
        described.version = metadata.GetFileVersion();
    }
    const CFileDigests digests = content->GetDigests();
    described.sha1 = digests.sha1;
    described.sha256 = digests.sha256;
    return described;
}

// An archive of no classes of its own that holds other archives: reported by what it holds.
bool IsContainer(const std::vector<CScanUnit>& units, size_t index)
{
    return units[index].GetNames().empty() && index + 1 < units.size() &&
           units[index + 1].GetPath().starts_with(units[index].GetPath() + "!/");
}
}  // namespace

CScanPipeline::CScanPipeline(CPrefixCache& cache, CDiagnostics diagnostics)
    : m_connection(cache)
    , m_lookup(m_connection, [this] { return Connect(); })
    , m_sources(diagnostics)
    , m_matchers(ScanMatchers())
{
    m_connection.SetDiagnostics(std::move(diagnostics));
}

bool CScanPipeline::Begin(const CCancelled& cancelled)
{
    std::vector<std::pair<std::string, std::string>> found;  // name, element
    for (CScanUnit& unit : m_sources.ListClassPath(m_classPath, cancelled))
        for (const std::string& name : unit.GetNames())
            found.emplace_back(name, unit.GetPath());
    // Byte order; equal names stay, each occurrence counts.
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [name, element] : found) {
        m_names.push_back(std::move(name));
        m_nameSources.push_back(std::move(element));
    }
    if (!m_locations.empty())
        m_sources.FindLocations(m_locations, cancelled);
    // Cancelled during the walk: nothing to look up, and no server to bother.
    if (cancelled())
        return false;
    m_lookupFailed = !Connect();
    m_connection.SetRateLimit(GetLookupRate());
    Report(CEvent::Started, m_names.size() + GetItemCount());
    return true;
}

bool CScanPipeline::Connect()
{
    CServerAddress server = m_lookupServer ? *m_lookupServer : LookupServer();
    m_lookupRequests += m_connection.GetRequestCount();
    return m_connection.Connect(server.host, server.port);
}

bool CScanPipeline::Step()
{
    if (m_position < m_names.size()) {
        LookUpNextName();
        return true;
    }
    if (m_item < GetItemCount()) {
        Report(CEvent::Item, m_item);
        if (!m_lookupFailed && !ScanItem(m_item))
            m_lookupFailed = true;
        ++m_item;
        Report(CEvent::Step, 0);
        return true;
    }
    Report(CEvent::Step, 0);
    return false;
}

// One name per step; its repeats (adjacent, the list is sorted) are answered in the same
// step, each occurrence with the same SCIDs.
void CScanPipeline::LookUpNextName()
{
    const std::string& name = m_names[m_position];
    size_t repeats = 1;
    while (m_position + repeats < m_names.size() && m_names[m_position + repeats] == name)
        ++repeats;
    std::vector<std::string> scids;
    m_lookup.FindScids(name, scids);
    for (size_t i = 0; i < repeats; ++i) {
        for (const std::string& scid : scids)
            m_results.AddOccurrence(scid, m_nameSources[m_position + i]);
        Report(CEvent::Step, 0);
    }
    m_position += repeats;
}

// Every unit of the item with every matcher; false at the first the lookup server failed.
// A unit no matcher found anything in is kept as unidentified.
bool CScanPipeline::ScanItem(size_t index)
{
    const std::vector<CScanUnit> units = m_sources.ListItem(index);
    for (size_t i = 0; i < units.size(); ++i) {
        for (const std::unique_ptr<IMatcher>& matcher : m_matchers)
            if (!matcher->Match(units[i], m_lookup, m_results))
                return false;
        if (m_results.RecentFinds(units[i].GetPath()).empty() && !IsContainer(units, i))
            m_results.AddUnidentified(Describe(units[i]));
    }
    return true;
}

void CScanPipeline::End()
{
    m_lookupRequests += m_connection.GetRequestCount();
    m_connection.Close();
}

bool CScanPipeline::FetchCatalogue(std::string& error)
{
    // Each component once, in the order first found.
    std::vector<std::string> scids;
    for (const CFoundComponent& component : m_results.GetComponents())
        scids.push_back(component.scid);
    return m_catalogue.Fetch(m_webServer ? *m_webServer : GetComponentWebServer(), scids, error);
}

CAdvisoryClient::CResult CScanPipeline::FetchAdvisories(std::string& error)
{
    const std::vector<CPackageVersion> queries =
        CAdvisoryClient::Queries(m_results.GetComponents(), m_catalogue, m_results.GetUnidentified());
    return m_advisories.Fetch(m_webServer ? *m_webServer : GetComponentWebServer(), queries,
                              CTransferSettings::FromSettings(CAdvisoryClient::kMaxAnswerBytes), error);
}

bool CScanPipeline::WriteIndex(const std::string& path) const
{
    return CIndexWriter::Write(path, m_results, m_catalogue, &m_advisories);
}

void CScanPipeline::Report(CEvent event, size_t value) const
{
    if (m_progress)
        m_progress(event, value);
}
