#include "MessageTarget.h"

#include <mutex>
#include <unordered_map>

namespace
{
struct CTargetTable
{
    std::mutex mutex;
    std::unordered_map<HWND, CMessageTarget::PostFunction> targets;
    HWND next = 1;
};

CTargetTable& Table()
{
    static CTargetTable table;
    return table;
}
}  // namespace

CMessageTarget::CMessageTarget(PostFunction post)
{
    CTargetTable& table = Table();
    std::lock_guard lock(table.mutex);
    m_handle = table.next++;
    table.targets.emplace(m_handle, std::move(post));
}

CMessageTarget::~CMessageTarget()
{
    CTargetTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.targets.erase(m_handle);
}

bool PostMessage(HWND target, unsigned message, WPARAM wParam, LPARAM lParam)
{
    CTargetTable& table = Table();
    // Held while posting, so a target cannot go away halfway; post functions only queue.
    std::lock_guard lock(table.mutex);
    auto it = table.targets.find(target);
    if (it == table.targets.end())
        return false;
    it->second(message, wParam, lParam);
    return true;
}

bool IsWindow(HWND target)
{
    CTargetTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.targets.count(target) != 0;
}
