#include "SpindleCtrlFactory.h"

#include <new>

#include "SpindleCtrl.h"

CSpindleCtrlFactory& CSpindleCtrlFactory::Instance()
{
    static CSpindleCtrlFactory factory;
    return factory;
}

HRESULT CSpindleCtrlFactory::CreateInstance(ISpindleCtrl** object)
{
    if (!object)
        return E_INVALIDARG;
    *object = new (std::nothrow) CSpindleCtrl();
    return *object ? S_OK : E_FAIL;
}
