#pragma once
// A container of OLE controls, as a host's Properties dialog is one for its
// pages, written from the controls' public contract: a window of its own, a
// client site that is also the in-place site and the in-place frame, and the
// host's page site, whose four property getters come before the
// status-change notification in its vtable. The getters and the site's
// IDispatch are never to be called by a page: each such call is noted.
#include <windows.h>

#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "win/com_ids.h"
#include "win/com_ptr.h"

namespace qx::wintest {

class PageContainerSite final : public IOleClientSite,
                                public IOleInPlaceSite,
                                public IOleInPlaceFrame,
                                public ::PropertyPageSite {
 public:
  // A new site with one reference held by the returned pointer; `window` is
  // the container's window, `place` the page's rectangle in it.
  static win32::ComPtr<PageContainerSite> make(HWND window, RECT place);

  // What the page did to its site.
  int statusChanges() const { return statusChanges_; }
  const std::vector<std::string>& unexpectedCalls() const { return unexpected_; }
  const std::vector<std::string>& activation() const { return activation_; }
  // What the page made the frame's active object (UI activation).
  IOleInPlaceActiveObject* activeObject() const { return active_.get(); }

  // IUnknown, one for all interfaces.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return note("ShowObject"); }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow of the in-place site and the frame.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return note("OnInPlaceActivate"); }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return note("OnUIActivate"); }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return note("OnUIDeactivate"); }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return note("OnInPlaceDeactivate"); }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, no tool space.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    active_ = win32::ComPtr<IOleInPlaceActiveObject>(object);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch of the page site: a page calls the notification through the
  // vtable.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return fault("GetTypeInfoCount"); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return fault("GetTypeInfo");
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return fault("GetIDsOfNames");
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return fault("Invoke");
  }

  // PropertyPageSite
  HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return fault("Application"); }
  HRESULT STDMETHODCALLTYPE get_Class(LONG*) override { return fault("Class"); }
  HRESULT STDMETHODCALLTYPE get_Session(IDispatch**) override { return fault("Session"); }
  HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return fault("Parent"); }
  HRESULT STDMETHODCALLTYPE OnStatusChange() override {
    ++statusChanges_;
    return S_OK;
  }

 private:
  PageContainerSite(HWND window, RECT place) : window_(window), place_(place) {}
  ~PageContainerSite() = default;
  HRESULT note(const char* call) {
    activation_.push_back(call);
    return S_OK;
  }
  HRESULT fault(const char* call) {
    unexpected_.push_back(call);
    return E_UNEXPECTED;
  }

  ULONG references_ = 0;
  HWND window_;
  RECT place_;
  int statusChanges_ = 0;
  std::vector<std::string> unexpected_;
  std::vector<std::string> activation_;
  win32::ComPtr<IOleInPlaceActiveObject> active_;
};

// The container's window: a frame with the tab's title, as a Properties
// dialog shows one page.
HWND makeContainerWindow(const wchar_t* title, int width, int height);

// A control created by ProgID and hosted as a property sheet does it: client
// site first, InitNew, host names, then (with `activate`) UI activation in
// the container's window at (8, 8), the container sized to the page. The
// page's size comes from its extent.
struct HostedControl {
  win32::ComPtr<IOleObject> control;
  win32::ComPtr<PageContainerSite> site;
  HWND container = nullptr;
  HRESULT status = E_FAIL;  // of the first step that failed, else S_OK

  HRESULT activate();
  // The page's own window once active.
  HWND pageWindow() const;
  // Close, then let go of the site, as the sheet does when it goes.
  void close();
};
HostedControl hostControl(const wchar_t* progId, HWND container, bool activate = true);

// The page's extent in pixels.
SIZE controlPixels(IOleObject* control);

}  // namespace qx::wintest
