#include "CatalogueWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <utility>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "CleanText.h"
#include "ClassFingerprint.h"
#include "Site.h"

namespace fs = std::filesystem;

namespace
{
constexpr const char* kFingerprintTable = "lookup/fingerprints.txt";

// Text cleaned and escaped for an element's content or an attribute's value.
std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : CleanText(text)) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\t': out += "&#9;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Element(const char* name, const std::string& text)
{
    return std::string("<") + name + ">" + Escaped(text) + "</" + name + ">";
}

// A version's classes as runs of positions in the component's sorted class list ("0-41 45"),
// or nothing when the version holds them all, as most do: the list stays one per component.
std::string VersionClassRanges(const std::vector<std::string>& all, const std::vector<std::string>& held)
{
    std::vector<size_t> positions;
    positions.reserve(held.size());
    for (const std::string& name : held)
        if (auto at = std::lower_bound(all.begin(), all.end(), name); at != all.end() && *at == name)
            positions.push_back(static_cast<size_t>(at - all.begin()));
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    if (positions.size() == all.size())
        return {};
    std::string ranges;
    for (size_t i = 0; i < positions.size();) {
        size_t end = i;
        while (end + 1 < positions.size() && positions[end + 1] == positions[end] + 1)
            ++end;
        ranges += (ranges.empty() ? "" : " ") + std::to_string(positions[i]);
        if (end > i)
            ranges += "-" + std::to_string(positions[end]);
        i = end + 1;
    }
    return ranges;
}

// A file written beside its place and renamed into it once whole.
class CReplacedFile
{
public:
    explicit CReplacedFile(std::string path) : m_path(std::move(path)), m_temp(m_path + ".tmp")
    {
        std::error_code ignored;
        fs::create_directories(fs::path(m_path).parent_path(), ignored);
        m_out.open(m_temp, std::ios::binary | std::ios::trunc);
    }
    ~CReplacedFile()
    {
        if (!m_done) {
            m_out.close();
            std::remove(m_temp.c_str());
        }
    }
    std::ofstream& Out() { return m_out; }
    bool Commit(std::string& error)
    {
        m_out.close();
        m_done = true;
        if (!m_out.fail() && std::rename(m_temp.c_str(), m_path.c_str()) == 0)
            return true;
        std::remove(m_temp.c_str());
        error = "cannot write " + m_path;
        return false;
    }

private:
    std::string m_path;
    std::string m_temp;
    std::ofstream m_out;
    bool m_done = false;
};
}  // namespace

CCatalogueWriter::CCatalogueWriter(std::string siteDir) : m_siteDir(std::move(siteDir)) {}

std::string CCatalogueWriter::SpoolPath() const { return m_siteDir + "/" + kFingerprintTable + ".spool"; }

bool CCatalogueWriter::Write(const std::vector<CCatalogueComponent>& components, CCatalogueSummary& summary,
                             std::string& error)
{
    const bool written = WriteComponents(components, error) && WriteClasses(components, summary.lookupClasses, error) &&
                         WriteFingerprints(components, summary.fingerprints, error) &&
                         WriteCounts(components.size(), summary.lookupClasses, error);
    std::remove(SpoolPath().c_str());
    return written;
}

bool CCatalogueWriter::WriteComponents(const std::vector<CCatalogueComponent>& components, std::string& error)
{
    CReplacedFile file(m_siteDir + "/" + CSite::kCatalogue);
    std::ofstream& out = file.Out();
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<components>";
    for (const CCatalogueComponent& component : components) {
        const CCatalogueEntry& newest = component.versions.front();
        out << "\n  <component SCID=\"" << component.scid << "\">\n    " << Element("componentName", component.name)
            << "\n    " << Element("vendor", newest.vendor) << "\n    " << Element("version", newest.version)
            << "\n    " << Element("description", newest.description) << "\n    " << Element("url", newest.url)
            << "\n    " << Element("artifact", newest.artifact) << "\n    " << Element("archive", newest.archive)
            << "\n    " << Element("classCount", std::to_string(component.classes.size())) << "\n    <categories>";
        for (const CPlacement& placement : component.placements)
            out << "\n      <category>" << Element("primaryCategory", placement.primary)
                << Element("secondaryCategory", placement.secondary) << "</category>";
        out << "\n    </categories>\n    <packages>";
        std::set<std::string> packages;
        for (const std::string& name : component.classes)
            if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
                packages.insert(name.substr(0, dot));
        for (const std::string& package : packages)
            out << "\n      " << Element("package", package);
        out << "\n    </packages>\n    <versions>";
        for (const CCatalogueEntry& version : component.versions) {
            out << "\n      <version name=\"" << Escaped(version.version) << "\" sha1=\"" << version.sha1
                << "\" sha256=\"" << version.sha256 << "\" classCount=\"" << version.classes.size() << "\"";
            if (version.classes.size() != component.classes.size())
                out << " classes=\"" << VersionClassRanges(component.classes, version.classes) << "\"";
            out << ">";
            for (const CLicence& licence : version.licences)
                out << "\n        <licence name=\"" << Escaped(licence.name) << "\" url=\"" << Escaped(licence.url)
                    << "\"/>";
            out << (version.licences.empty() ? "" : "\n      ") << "</version>";
        }
        out << "\n    </versions>\n  </component>";
    }
    out << "\n</components>\n";
    return file.Commit(error);
}

bool CCatalogueWriter::WriteClasses(const std::vector<CCatalogueComponent>& components, size_t& rows,
                                    std::string& error)
{
    // Each name once per component, in the catalogue's order for one name.
    std::vector<std::pair<const std::string*, size_t>> names;
    for (size_t i = 0; i < components.size(); ++i)
        for (const std::string& name : components[i].classes)
            names.emplace_back(&name, i);
    std::stable_sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return *a.first < *b.first; });
    CReplacedFile file(m_siteDir + "/" + CSite::kLookupTable);
    std::ofstream& out = file.Out();
    out << "# class name, tab, SCID; sorted by class name\n";
    rows = 0;
    const std::string* last = nullptr;
    for (const auto& [name, component] : names) {
        out << *name << '\t' << components[component].scid << '\n';
        rows += !last || *last != *name;
        last = name;
    }
    return file.Commit(error);
}

bool CCatalogueWriter::WriteFingerprints(const std::vector<CCatalogueComponent>& components, size_t& rows,
                                         std::string& error)
{
    // The archive ids of the spool as "SCID<TAB>version"; an id of no catalogued version (an
    // archive found broken after its classes were read) gives no row.
    std::vector<std::string> versionOf;
    for (const CCatalogueComponent& component : components)
        for (const CCatalogueEntry& version : component.versions)
            for (std::uint32_t id : version.archiveIds) {
                if (versionOf.size() <= id)
                    versionOf.resize(id + 1);
                versionOf[id] = component.scid + "\t" + CleanText(version.version);
            }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(std::fopen(SpoolPath().c_str(), "rb"), std::fclose);
    if (!spool) {
        error = "cannot read " + SpoolPath();
        return false;
    }
    CReplacedFile file(m_siteDir + "/" + kFingerprintTable);
    std::ofstream& out = file.Out();
    out << "# class fingerprint, tab, SCID, tab, version\n";
    rows = 0;
    unsigned char record[CCatalogueBuilder::kSpoolRecordBytes];
    while (std::fread(record, sizeof record, 1, spool.get()) == 1) {
        std::uint64_t fingerprint = 0;
        std::uint32_t id = 0;
        for (size_t i = 0; i < 8; ++i)
            fingerprint |= static_cast<std::uint64_t>(record[i]) << (8 * i);
        for (size_t i = 0; i < 4; ++i)
            id |= static_cast<std::uint32_t>(record[8 + i]) << (8 * i);
        if (id >= versionOf.size() || versionOf[id].empty())
            continue;
        out << CClassFingerprint::ToText(fingerprint) << '\t' << versionOf[id] << '\n';
        ++rows;
    }
    if (std::ferror(spool.get())) {
        error = "cannot read " + SpoolPath();
        return false;
    }
    return file.Commit(error);
}

// The counts the pages show, set in the site's description (written with the JDK's data, or
// started here when there is none yet).
bool CCatalogueWriter::WriteCounts(size_t components, size_t classes, std::string& error)
{
    const std::string path = m_siteDir + "/" + CSite::kSiteInfo;
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> document(
        xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING), xmlFreeDoc);
    xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (!root || xmlStrcmp(root->name, BAD_CAST "site") != 0) {
        document.reset(xmlNewDoc(BAD_CAST "1.0"));
        root = xmlNewDocNode(document.get(), nullptr, BAD_CAST "site", nullptr);
        xmlDocSetRootElement(document.get(), root);
    }
    xmlNode* counts = root->children;
    while (counts && !(counts->type == XML_ELEMENT_NODE && xmlStrcmp(counts->name, BAD_CAST "counts") == 0))
        counts = counts->next;
    if (!counts)
        counts = xmlNewChild(root, nullptr, BAD_CAST "counts", nullptr);
    xmlSetProp(counts, BAD_CAST "components", BAD_CAST std::to_string(components).c_str());
    xmlSetProp(counts, BAD_CAST "catalogedClasses", BAD_CAST std::to_string(classes).c_str());
    const std::string temp = path + ".tmp";
    if (xmlSaveFormatFileEnc(temp.c_str(), document.get(), "UTF-8", 0) < 0 ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}
