#include "UnitContent.h"

#include <filesystem>
#include <utility>

#include <zip.h>

#include "ClassEntries.h"
#include "ClassFile.h"
#include "FileUtil.h"
#include "ZipCalls.h"

namespace
{
constexpr std::string_view kManifest = "META-INF/MANIFEST.MF";
constexpr std::string_view kMaven = "META-INF/maven/";

// Whether an entry is META-INF/maven/GROUP/ARTIFACT/pom.properties; artifact is then set.
bool IsPomProperties(std::string_view entry, std::string& artifact)
{
    if (!entry.starts_with(kMaven) || !entry.ends_with("/pom.properties"))
        return false;
    entry.remove_prefix(kMaven.size());
    entry.remove_suffix(std::string_view("/pom.properties").size());
    const size_t slash = entry.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == entry.size() ||
        entry.find('/', slash + 1) != std::string_view::npos)
        return false;
    artifact = entry.substr(slash + 1);
    return true;
}

// Of several pom.properties (a fat archive keeps those of what it holds), the one of the
// artifact the file name names; else the only one; else none.
template <typename CCandidate>
const CCandidate* PickPom(const std::vector<CCandidate>& poms, const std::string& fileName)
{
    for (const CCandidate& pom : poms)
        if (!fileName.empty() && pom.artifact == fileName)
            return &pom;
    return poms.size() == 1 ? &poms.front() : nullptr;
}

struct CPomAt
{
    std::string artifact;
    zip_uint64_t index = 0;
    std::string path;
};
}  // namespace

CUnitContent::CUnitContent(zip* archive, std::string path, std::shared_ptr<const std::string> data)
    : m_archive(archive), m_path(std::move(path)), m_data(std::move(data))
{
}

CUnitContent::CUnitContent(std::string root) : m_path(std::move(root)) {}

CUnitContent::~CUnitContent()
{
    if (m_archive)
        zip_discard(m_archive);
}

std::vector<CUnitContent::CClassEntry> CUnitContent::FindClassFiles(const std::set<std::string>& names)
{
    std::vector<CClassEntry> found;
    std::string name;
    if (m_archive) {
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        for (zip_int64_t i = 0; i < count && found.size() < kMaxClassFiles; ++i) {
            const char* entry = zipsys::getName(m_archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
            if (entry && CClassEntries::NameOf(entry, name) && names.count(name))
                found.push_back({name, static_cast<std::uint64_t>(i), {}});
        }
        return found;
    }
    // A tree names its classes by what each file declares, so each file is read to know.
    std::error_code ec;
    std::filesystem::recursive_directory_iterator walk(m_path, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && walk != std::filesystem::recursive_directory_iterator() && found.size() < kMaxClassFiles;
         walk.increment(ec)) {
        if (walk->path().extension() != ".class" || !walk->is_regular_file(ec))
            continue;
        std::string bytes;
        if (ReadWholeFile(walk->path().string(), bytes, CClassFile::kMaxSize) != CReadResult::Ok)
            continue;
        if (const auto declared = CClassFile::ReadDeclaredName(bytes))
            if (names.count(name = CClassFile::LookupName(*declared)))
                found.push_back({name, 0, walk->path().string()});
    }
    return found;
}

std::optional<std::string> CUnitContent::ReadClassFile(const CClassEntry& entry)
{
    if (m_archive)
        return ReadEntry(m_archive, entry.index, CClassFile::kMaxSize);
    std::string bytes;
    if (ReadWholeFile(entry.path, bytes, CClassFile::kMaxSize) != CReadResult::Ok)
        return std::nullopt;
    return bytes;
}

const CArchiveMetadata& CUnitContent::GetMetadata()
{
    if (!m_metadata) {
        m_metadata.emplace();
        if (m_archive)
            ReadArchiveMetadata();
        else
            ReadTreeMetadata();
    }
    return *m_metadata;
}

void CUnitContent::ReadArchiveMetadata()
{
    m_metadata->ReadFileName(m_path);
    std::vector<CPomAt> poms;
    std::optional<zip_uint64_t> manifest;
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    std::string artifact;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zipsys::getName(m_archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!entry)
            continue;
        if (entry == kManifest)
            manifest = static_cast<zip_uint64_t>(i);
        else if (IsPomProperties(entry, artifact))
            poms.push_back({artifact, static_cast<zip_uint64_t>(i), {}});
    }
    if (const CPomAt* pom = PickPom(poms, m_metadata->GetFileName()))
        if (const auto text = ReadEntry(m_archive, pom->index, CArchiveMetadata::kMaxSize))
            m_metadata->ReadPomProperties(*text);
    if (manifest)
        if (const auto text = ReadEntry(m_archive, *manifest, CArchiveMetadata::kMaxSize))
            m_metadata->ReadManifest(*text);
}

void CUnitContent::ReadTreeMetadata()
{
    std::vector<CPomAt> poms;
    std::error_code ec;
    const std::string maven = m_path + "/" + std::string(kMaven);
    for (auto group = std::filesystem::directory_iterator(maven, ec); !ec && group != std::filesystem::directory_iterator();
         group.increment(ec))
        for (auto artifact = std::filesystem::directory_iterator(group->path(), ec);
             !ec && artifact != std::filesystem::directory_iterator(); artifact.increment(ec))
            poms.push_back({artifact->path().filename().string(), 0, (artifact->path() / "pom.properties").string()});
    ec.clear();
    std::string text;
    if (const CPomAt* pom = PickPom(poms, ""))
        if (ReadWholeFile(pom->path, text, CArchiveMetadata::kMaxSize) == CReadResult::Ok)
            m_metadata->ReadPomProperties(text);
    if (ReadWholeFile(m_path + "/" + std::string(kManifest), text, CArchiveMetadata::kMaxSize) == CReadResult::Ok)
        m_metadata->ReadManifest(text);
}

CFileDigests CUnitContent::GetDigests() const
{
    if (!m_archive)
        return {};
    return m_data ? Sha1AndSha256OfBytes(*m_data) : Sha1AndSha256Hex(m_path);
}

std::optional<std::string> CUnitContent::ReadEntry(zip* archive, std::uint64_t index, size_t limit)
{
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || stat.size > limit)
        return std::nullopt;
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file)
        return std::nullopt;
    std::string data(static_cast<size_t>(stat.size), '\0');
    zip_int64_t n = zip_fread(file, data.data(), data.size());
    // One byte more than announced would be a lie about the size: refused as well.
    char extra;
    bool whole = n == static_cast<zip_int64_t>(data.size()) && zip_fread(file, &extra, 1) == 0;
    zip_fclose(file);
    if (!whole)
        return std::nullopt;
    return data;
}
