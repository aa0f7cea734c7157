#pragma once

#include "SpindleCtrlInterface.h"

// The control's class factory: one for the library, living as long as it is loaded.
class CSpindleCtrlFactory : public IClassFactory
{
public:
    static CSpindleCtrlFactory& Instance();

    HRESULT CreateInstance(ISpindleCtrl** object) override;
};
