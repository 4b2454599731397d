// Self-registration helpers: write and remove the registry entries of a type library, a
// control class and a property page class. Each reports success (TRUE) or failure (FALSE).
#pragma once

#include "platform/com/guid.h"

// Registration flags of a control class.
#define afxRegDefault 0x0000
#define afxRegInsertable 0x0001
#define afxRegApartmentThreading 0x0002

// Registers the module's type library resource (TYPELIB 1 of `instance`; fileName names
// another resource of the module when given), checking that it is the library `libid`.
BOOL AfxOleRegisterTypeLib(HINSTANCE instance, REFGUID libid, const char* fileName = nullptr,
                           const char* helpDir = nullptr);
BOOL AfxOleUnregisterTypeLib(REFGUID libid, WORD major = 0, WORD minor = 0, LCID lcid = 0);
BOOL AfxOleRegisterControlClass(HINSTANCE instance, REFCLSID clsid, const char* progID, UINT idTypeName,
                                UINT idBitmap, int regFlags, DWORD miscStatus, REFGUID libid, WORD verMajor,
                                WORD verMinor);
BOOL AfxOleRegisterPropertyPageClass(HINSTANCE instance, REFCLSID clsid, UINT idTypeName,
                                     int regFlags = afxRegDefault);
// Removes the class's key and, when progID is given, the ProgID's key.
BOOL AfxOleUnregisterClass(REFCLSID clsid, const char* progID);
