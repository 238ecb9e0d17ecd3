// Access to the MIRAXLDLib type library.
#pragma once

#include "com/com_headers.h"
#include "com/com_owners.h"

namespace miraxld::com {

inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;
inline constexpr LCID kTypeLibLocale = 0x409;

// The type library embedded in this DLL (resource TYPELIB 1); `kind` as for LoadTypeLibEx.
HRESULT LoadEmbeddedTypeLib(REGKIND kind, ComPtr<ITypeLib>* out);

// IPOSLDisplay's type information: from the registered type library, or, when that is missing
// or damaged, from the DLL's own resource, so that IDispatch keeps working in a half-registered
// installation.
HRESULT LoadPosLDisplayTypeInfo(ComPtr<ITypeInfo>* out);

}  // namespace miraxld::com
