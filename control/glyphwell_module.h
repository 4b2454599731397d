// The module: its application object, the two class factories (control and property page),
// the self-registration and class-object entry points exported with C linkage, and the
// per-module type library cache.
#pragma once

#include "platform/afx/afxctl.h"

#ifdef _WIN32
#define GLYPHWELL_EXPORT  // the module definition file exports them, undecorated
#else
#define GLYPHWELL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
GLYPHWELL_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer();
GLYPHWELL_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer();
GLYPHWELL_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
GLYPHWELL_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow();
}

// Makes the module's objects (application, factories, resources) on first use, once; the entry
// points and the control and page constructors call it, and so does anything else that needs
// them before either (the command line's control host finding a class).
void GlyphwellModuleEnsureLoaded();
// The module's instance handle (its resources are declared under it).
HINSTANCE GlyphwellModuleInstance();
// LoadRegTypeLib of GLYPHWELLLib 1.0 (its one language, whatever lcid asks), kept after the
// first success.
HRESULT GlyphwellModuleTypeLib(LCID lcid, ITypeLib** lib);
