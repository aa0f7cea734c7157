#include "SearchThread.h"

#include "Messages.h"
#include "XmlAccess.h"

CSearchThread::CSearchThread(CItemList& results)
    : m_results(results)
{
}

void CSearchThread::PostSearchStarted(std::int32_t steps)
{
    PostToTarget(WM_SEARCH_STARTED, steps);
}

void CSearchThread::PostSearchProgress()
{
    PostToTarget(WM_SEARCH_PROGRESS, GetStatus());
}

void CSearchThread::PostSearchFinished()
{
    PostToTarget(WM_SEARCH_FINISHED, GetStatus());
}

void CSearchThread::PostToTarget(unsigned message, LPARAM lParam)
{
    if (IsWindow(m_targetWindow))
        PostMessage(m_targetWindow, message, GetThreadId(), lParam);
}

// The searches report under one class name, whichever search uses them.
std::string CSearchThread::GetChildElementValue(const CXmlNode& node, const std::string& childName)
{
    return XmlChildElementValue(node, childName, "CMarketSearchThread");
}

std::string CSearchThread::GetElementAttributeValue(const CXmlNode& element, const std::string& name)
{
    return XmlElementAttributeValue(element, name, "CMarketSearchThread");
}
