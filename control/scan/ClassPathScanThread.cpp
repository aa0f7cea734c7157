#include "ClassPathScanThread.h"

#include "ErrorReport.h"
#include "IndexWriter.h"
#include "Messages.h"

CClassPathScanThread::CClassPathScanThread(CPrefixCache& cache) : m_pipeline(cache)
{
    m_pipeline.SetProgress([this](CScanPipeline::CEvent event, size_t value) {
        switch (event) {
        case CScanPipeline::CEvent::Started:
            Post(WM_SCAN_STARTED, static_cast<LPARAM>(value));
            break;
        case CScanPipeline::CEvent::Item:
            Post(WM_SCAN_ITEM, static_cast<LPARAM>(value));
            break;
        case CScanPipeline::CEvent::Step:
            Post(WM_SCAN_PROGRESS, 0);
            break;
        }
    });
}

void CClassPathScanThread::StartWork() { m_pipeline.Begin([this] { return IsStopFlagSet(); }); }

void CClassPathScanThread::DoWork()
{
    if (!m_pipeline.Step())
        SetStopFlag();
}

void CClassPathScanThread::EndWork()
{
    m_pipeline.End();
    if (GetStatus() == 0)
        SaveResults();
    Post(WM_SCAN_FINISHED, 0);
}

std::string CClassPathScanThread::GetOutputPath() const { return CIndexWriter::IndexPath(!m_direct); }

bool CClassPathScanThread::SaveResults()
{
    std::string error;
    if (!m_pipeline.FetchCatalogue(error)) {
        // A partial index would lose the user's components: keep the file as it was.
        ReportError(error, "CLocalItemDataManager::ScanClassPath()");
        return false;
    }
    // Advisories that cannot be had leave the index as it would be without them.
    if (m_pipeline.FetchAdvisories(error) == CAdvisoryClient::CResult::Failed)
        ReportError("no advisories: " + error, "CClassPathScanThread::SaveResults");
    return m_pipeline.WriteIndex(GetOutputPath());
}

void CClassPathScanThread::Post(unsigned message, LPARAM lParam)
{
    if (IsWindow(m_dialog))
        PostMessage(m_dialog, message, GetThreadId(), lParam);
}
