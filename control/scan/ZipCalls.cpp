#include "ZipCalls.h"

namespace zipsys
{
CZipCalls& Calls()
{
    static CZipCalls calls{::zip_fdopen, ::zip_get_name};
    return calls;
}
}  // namespace zipsys
