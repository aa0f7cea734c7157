#include "AdvisoryLoader.h"

#include <algorithm>
#include <filesystem>

#include <zip.h>

#include "FileUtil.h"

namespace fs = std::filesystem;

namespace
{
std::string Printable(std::string_view name)
{
    std::string out(name.substr(0, 300));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f)
            c = '?';
    }
    return out;
}

bool IsJsonName(std::string_view name) { return name.size() > 5 && name.ends_with(".json"); }

std::string SizeText(uint64_t bytes)
{
    if (bytes % (1 << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// An entry's bytes up to limit, read in pieces: the sizes an archive claims are not trusted.
enum class EEntryRead
{
    Ok,
    TooLarge,
    Failed,
};
EEntryRead ReadEntry(zip_t* archive, zip_uint64_t index, size_t limit, std::string& out, std::string& error)
{
    out.clear();
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file) {
        error = zip_error_strerror(zip_get_error(archive));
        return EEntryRead::Failed;
    }
    char buffer[64 * 1024];
    EEntryRead result = EEntryRead::Ok;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            error = zip_error_strerror(zip_file_get_error(file));
            result = EEntryRead::Failed;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > limit) {
            result = EEntryRead::TooLarge;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    zip_fclose(file);
    return result;
}
}  // namespace

CAdvisoryLoader::CAdvisoryLoader(IAdvisorySink& sink, CAdvisoryLimits limits) : m_sink(sink), m_limits(limits) {}

CAdvisoryLoadReport CAdvisoryLoader::Load(const std::string& path)
{
    CAdvisoryLoadReport report;
    m_totalBytes = 0;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status))
        LoadFolder(path, report);
    else if (fs::is_regular_file(status))
        LoadArchive(path, report);
    else
        report.error = Printable(path) + ": no such folder or file";
    return report;
}

void CAdvisoryLoader::LoadFolder(const std::string& path, CAdvisoryLoadReport& report)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        if (IsJsonName(it->path().filename().string()) && it->is_regular_file(error))
            files.push_back(it->path());
        if (files.size() > m_limits.maxFiles) {
            report.error = Printable(path) + ": more than " + std::to_string(m_limits.maxFiles) + " records; nothing loaded";
            return;
        }
    }
    if (error) {
        report.error = Printable(path) + ": " + error.message();
        return;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string name = fs::relative(file, path, error).string();
        const uintmax_t size = fs::file_size(file, error);
        if (error || size > m_limits.maxRecordBytes) {
            Refuse(name, error ? error.message() : "larger than " + SizeText(m_limits.maxRecordBytes), report);
            error.clear();
            continue;
        }
        std::string text;
        if (ReadWholeFile(file.string(), text, m_limits.maxRecordBytes) != CReadResult::Ok) {
            Refuse(name, "cannot be read, or grew past " + SizeText(m_limits.maxRecordBytes), report);
            continue;
        }
        if (!CountBytes(text.size(), report))
            return;
        Take(name, text, report);
    }
}

void CAdvisoryLoader::LoadArchive(const std::string& path, CAdvisoryLoadReport& report)
{
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) {
        if (IsJsonName(path)) {
            std::string text;
            if (ReadWholeFile(path, text, m_limits.maxRecordBytes) != CReadResult::Ok)
                Refuse(fs::path(path).filename().string(), "cannot be read, or larger than " + SizeText(m_limits.maxRecordBytes), report);
            else
                Take(fs::path(path).filename().string(), text, report);
            return;
        }
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        report.error = Printable(path) + ": not a folder, a ZIP archive or a .json file (" +
                       zip_error_strerror(&zipError) + ")";
        zip_error_fini(&zipError);
        return;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || static_cast<uint64_t>(count) > m_limits.maxFiles) {
        report.error = Printable(path) + ": more than " + std::to_string(m_limits.maxFiles) + " entries; nothing loaded";
        zip_discard(archive);
        return;
    }
    std::string text, error;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!entry || !IsJsonName(entry))
            continue;
        const EEntryRead read = ReadEntry(archive, static_cast<zip_uint64_t>(i), m_limits.maxRecordBytes, text, error);
        if (!CountBytes(text.size(), report))
            break;
        if (read == EEntryRead::TooLarge)
            Refuse(entry, "inflates past " + SizeText(m_limits.maxRecordBytes), report);
        else if (read == EEntryRead::Failed)
            Refuse(entry, "cannot be read: " + error, report);
        else
            Take(entry, text, report);
    }
    zip_discard(archive);
}

bool CAdvisoryLoader::CountBytes(uint64_t bytes, CAdvisoryLoadReport& report)
{
    m_totalBytes += bytes;
    if (m_totalBytes <= m_limits.maxTotalBytes)
        return true;
    report.error = "stopped after " + SizeText(m_limits.maxTotalBytes) + ": the rest was not read";
    return false;
}

void CAdvisoryLoader::Take(const std::string& name, std::string_view text, CAdvisoryLoadReport& report)
{
    COsvReader::CRead read = COsvReader::Read(text, m_limits.maxDepth);
    if (read.result == COsvReader::EResult::Malformed) {
        Refuse(name, read.error, report);
        return;
    }
    if (read.result == COsvReader::EResult::OtherEcosystem) {
        ++report.ignored;
        return;
    }
    ++report.loaded;
    report.withdrawn += read.record.Withdrawn();
    if (!read.record.unevaluable.empty()) {
        ++report.unevaluable;
        if (report.unevaluableRecords.size() < CAdvisoryLoadReport::kMaxListed)
            report.unevaluableRecords.push_back(Printable(read.record.id) + ": " + Printable(read.record.unevaluable));
    }
    switch (m_sink.Offer(std::move(read.record))) {
    case EMergeOutcome::Added:
        ++report.added;
        break;
    case EMergeOutcome::Replaced:
        ++report.replaced;
        break;
    case EMergeOutcome::Kept:
        ++report.kept;
        break;
    }
}

void CAdvisoryLoader::Refuse(const std::string& name, const std::string& reason, CAdvisoryLoadReport& report)
{
    ++report.malformed;
    if (report.malformedFiles.size() < CAdvisoryLoadReport::kMaxListed)
        report.malformedFiles.push_back(Printable(name) + ": " + Printable(reason));
}
