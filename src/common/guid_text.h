// A GUID as the registry names it: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// upper-case hex, as the class keys under Control\Class are spelled.
#pragma once

#include <windows.h>

#include "common/bounded_text.h"

namespace zk {

inline FixedText<40> GuidText(const GUID& guid) {
    FixedText<40> text;
    (void)text.Format("{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                      static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                      guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                      guid.Data4[6], guid.Data4[7]);
    return text;
}

}  // namespace zk
