#pragma once
// The two property pages as the ActiveX controls a host's Properties dialog
// embeds: IOleObject, in-place activation (IOleInPlaceObject,
// IOleInPlaceActiveObject), IOleControl, IViewObject2, IPersistStreamInit,
// IProvideClassInfo2, the page's own dual interface and the host's
// PropertyPage, through its vtable and through IDispatch. The page itself is
// the add-in's (ui/folder_page.h, ui/empty_page.h); this is its COM face.
#include <windows.h>

namespace qx::win32 {

class ComModule;

// A new page control with one reference, asked for `iid`.
HRESULT createFolderPageControl(ComModule& module, REFIID iid, void** object);
HRESULT createEmptyPageControl(ComModule& module, REFIID iid, void** object);

}  // namespace qx::win32
