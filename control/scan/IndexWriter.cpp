#include "IndexWriter.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "AdvisoryClient.h"
#include "CatalogueEntries.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "ScanResults.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "XmlDocument.h"

namespace
{
// File names on Linux are any bytes, but the index must stay well-formed XML, or the whole
// Local tab goes blank: a byte that is not UTF-8, or a character XML cannot hold, is written
// as U+FFFD.
std::string XmlText(const std::string& text)
{
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
        char32_t code = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next >> 6) == 0x2;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                code != 0xFFFE && code != 0xFFFF && (code >= 0x20 || code == '\t' || code == '\n' || code == '\r');
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

void SetText(CXmlNode& element, const char* name, const std::string& value)
{
    element.SetAttribute(name, XmlText(value));
}

void SetIfAny(CXmlNode& element, const char* name, const std::string& value)
{
    if (!value.empty())
        SetText(element, name, value);
}

void AppendText(CXmlDocument& index, CXmlNode& parent, const char* name, const std::string& text)
{
    CXmlNode element = parent.AppendChild(index.CreateElement(name));
    element.AppendChild(index.CreateTextNode(XmlText(text)));
}

std::string Joined(const std::vector<std::string>& values)
{
    std::string joined;
    for (const std::string& value : values)
        joined += (joined.empty() ? "" : " ") + value;
    return joined;
}

// Never a catalogue SCID (those are plain numbers) and the same for the same identity in
// every scan, so that a page or bookmark of it stays valid.
std::string LocalId(const std::string& key)
{
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a 64
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char* const hex = "0123456789abcdef";
    std::string id = "local:";
    for (int shift = 60; shift >= 0; shift -= 4)
        id += hex[(hash >> shift) & 0xF];
    return id;
}

const char* UnidentifiedCaption(const std::string& match)
{
    if (match == "metadata")
        return "Named by pom.properties";
    if (match == "manifest")
        return "Named by MANIFEST.MF";
    if (match == "filename")
        return "Named by file name";
    return "Unknown";
}

std::string LastSegment(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

// The tree lists names once, so two archives must not share one: the version goes into the
// name, and a name still taken by another archive gets its path.
std::string DisplayName(const CUnidentified& unit)
{
    std::string name = !unit.name.empty() ? unit.name : !unit.artifact.empty() ? unit.artifact : LastSegment(unit.path);
    if (!unit.version.empty() && name.find(unit.version) == std::string::npos)
        name += " " + unit.version;
    return name;
}

// Archives named alike by their own content (the same artifact and version, say in a cache
// and in a project's lib folder) are one entry with a place each; others one entry per path.
std::string IdentityKey(const CUnidentified& unit)
{
    if (unit.match == "unidentified" || (unit.artifact.empty() && unit.name.empty()))
        return "path\n" + unit.path;
    return unit.match + "\n" + unit.group + "\n" + unit.artifact + "\n" + unit.version + "\n" + unit.name;
}

void AppendFind(CXmlDocument& index, CXmlNode& entry, const CFind& find)
{
    CXmlNode place = entry.AppendChild(index.CreateElement("foundIn"));
    SetText(place, "path", find.path);
    place.SetAttribute("match", MatchName(find.match));
    place.SetAttribute("classes", std::to_string(find.classes));
    SetIfAny(place, "relocatedPrefix", find.relocatedPrefix);
    if (!find.version.empty() || !find.candidates.empty())
        place.SetAttribute("basis", VersionBasisName(find.basis));
    SetIfAny(place, "version", find.version);
    SetIfAny(place, "candidates", Joined(find.candidates));
    SetIfAny(place, "claimedVersion", find.claimedVersion);
    if (!find.claimedVersion.empty())
        SetIfAny(place, "claimedBy", find.claimedBy);
}

const char* SeverityCaption(const std::string& severity)
{
    if (severity == "critical")
        return "Critical";
    if (severity == "high")
        return "High";
    if (severity == "medium")
        return "Medium";
    if (severity == "low")
        return "Low";
    if (severity == "none")
        return "No severity given";
    return "Unknown severity";
}

// The records that bear on an entry, each with the places of the affected copies, and the
// category that gathers the affected components.
void AppendAdvisories(CXmlDocument& index, CXmlNode& entry, const std::vector<CAffectingAdvisory>& advisories)
{
    if (advisories.empty())
        return;
    entry.SetAttribute("affected", "yes");
    for (const CAffectingAdvisory& affecting : advisories) {
        const CAdvisory& record = affecting.advisory;
        CXmlNode advisory = entry.AppendChild(index.CreateElement("advisory"));
        SetText(advisory, "id", record.id);
        SetText(advisory, "severity", record.severity);
        SetIfAny(advisory, "fixed", FixedVersion(affecting));
        SetText(advisory, "versions", Joined(affecting.versions));
        advisory.SetAttribute("evaluable", record.evaluable ? "yes" : "no");
        for (const std::string& alias : record.aliases)
            AppendText(index, advisory, "alias", alias);
        if (!record.summary.empty())
            AppendText(index, advisory, "summary", record.summary);
        for (const CAdvisoryRating& rating : record.ratings) {
            CXmlNode element = advisory.AppendChild(index.CreateElement("rating"));
            SetIfAny(element, "method", rating.method);
            SetIfAny(element, "vector", rating.vector);
            if (rating.score) {
                char score[16];
                std::snprintf(score, sizeof score, "%.1f", *rating.score);
                element.SetAttribute("score", score);
            }
        }
        for (const std::string& path : affecting.paths) {
            CXmlNode place = advisory.AppendChild(index.CreateElement("affects"));
            SetText(place, "path", path);
        }
    }
    auto existing = entry.SelectNodes("categories");
    CXmlNode categories = existing && existing->GetLength() > 0 ? existing->GetItem(0)
                                                                : entry.AppendChild(index.CreateElement("categories"));
    CXmlNode category = categories.AppendChild(index.CreateElement("category"));
    AppendText(index, category, "primaryCategory", CIndexWriter::kAffectedCategory);
    AppendText(index, category, "secondaryCategory", SeverityCaption(MostSevere(advisories)));
}

void AppendUnidentified(CXmlDocument& index, CXmlNode& root, const std::vector<CUnidentified>& units,
                        const CAdvisoryClient* advisories)
{
    // By identity: the package and places of an archive named by its pom.properties.
    std::map<std::string, std::pair<std::string, std::vector<CFind>>> named;

    std::map<std::string, CXmlNode> entries;  // by identity
    std::set<std::string> names;
    for (const CUnidentified& unit : units) {
        const std::string key = IdentityKey(unit);
        auto [entry, added] = entries.try_emplace(key);
        if (added) {
            std::string name = DisplayName(unit);
            if (!names.insert(name).second) {
                name += " (" + unit.path + ")";
                names.insert(name);
            }
            CXmlNode component = root.AppendChild(index.CreateElement("component"));
            component.SetAttribute("SCID", LocalId(key));
            SetText(component, "unidentified", unit.match);
            AppendText(index, component, "componentName", name);
            if (!unit.version.empty())
                AppendText(index, component, "version", unit.version);
            if (!unit.artifact.empty())
                AppendText(index, component, "artifact", unit.group.empty() ? unit.artifact : unit.group + ":" + unit.artifact);
            AppendText(index, component, "classCount", std::to_string(unit.classes));
            CXmlNode category = component.AppendChild(index.CreateElement("categories"))
                                    .AppendChild(index.CreateElement("category"));
            AppendText(index, category, "primaryCategory", CIndexWriter::kUnidentifiedCategory);
            AppendText(index, category, "secondaryCategory", UnidentifiedCaption(unit.match));
            entry->second = component;
        }
        CXmlNode place = entry->second.AppendChild(index.CreateElement("foundIn"));
        SetText(place, "path", unit.path);
        place.SetAttribute("match", MatchName(unit.nested ? CMatch::Nested : CMatch::Direct));
        place.SetAttribute("classes", std::to_string(unit.classes));
        if (!unit.version.empty()) {
            SetText(place, "basis", unit.match);
            SetText(place, "version", unit.version);
        }
        SetIfAny(place, "sha1", unit.sha1);
        SetIfAny(place, "sha256", unit.sha256);
        if (std::string package = CAdvisoryClient::Package(unit); !package.empty()) {
            auto& [known, places] = named[key];
            known = std::move(package);
            places.push_back(CAdvisoryClient::ArchiveFind(unit));
        }
    }
    if (advisories)
        for (const auto& [key, found] : named)
            AppendAdvisories(index, entries.at(key), advisories->Affecting(found.first, found.second));
}
}  // namespace

std::string CIndexWriter::IndexPath(bool staged)
{
    return GetDataDirectory() + "Local/components.xml" + (staged ? "_new" : "");
}

bool CIndexWriter::Write(const std::string& path, const CScanResults& results, const CCatalogueEntries& catalogue,
                         const CAdvisoryClient* advisories)
{
    CXmlDocument index;
    if (!index.Load(path))
        index.SetDocumentElement(index.CreateElement("components"));
    // The previous entries go; the root element and its attributes stay.
    CXmlNode root = index.GetDocumentElement();
    if (!root) {
        ReportError("cannot create the index document", "CClassPathScanThread::SaveResults");
        return false;
    }
    while (CXmlNode child = root.GetFirstChild())
        root.RemoveChild(child);

    // What bears on each component, over all its places (the CLASSPATH's elements too).
    std::map<std::string, std::vector<CAffectingAdvisory>> affecting;
    if (advisories && advisories->HasData())
        for (const CFoundComponent& found : results.GetComponents())
            if (auto records = advisories->Affecting(CAdvisoryClient::Package(catalogue, found.scid), found.finds,
                                                     catalogue.GetField(found.scid, "version"));
                !records.empty())
                affecting.emplace(found.scid, std::move(records));
    auto appendAdvisories = [&](CXmlNode& entry, const std::string& scid) {
        if (auto records = affecting.find(scid); records != affecting.end())
            AppendAdvisories(index, entry, records->second);
    };

    for (const std::string& scid : results.GetOccurrences()) {
        for (const CXmlNode& component : catalogue.GetComponents(scid)) {
            CXmlNode entry = root.AppendChild(component);
            appendAdvisories(entry, scid);
        }
    }
    for (const CFoundComponent& found : results.GetLocationComponents()) {
        for (const CXmlNode& component : catalogue.GetComponents(found.scid)) {
            CXmlNode entry = root.AppendChild(component);
            for (const CFind& find : found.finds)
                AppendFind(index, entry, find);
            appendAdvisories(entry, found.scid);
        }
    }
    AppendUnidentified(index, root, results.GetUnidentified(), advisories && advisories->HasData() ? advisories : nullptr);

    sys::mkdir(DirectoryOf(path).c_str(), 0755);
    if (!index.Save(path)) {
        ReportError("cannot write " + path, "CClassPathScanThread::SaveResults");
        return false;
    }
    return true;
}
