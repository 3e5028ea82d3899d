#include "win/dialog_extent.h"
#include "win/page_container.h"

namespace qx::wintest {

using win32::ComPtr;

ComPtr<PageContainerSite> PageContainerSite::make(HWND window, RECT place) {
  return ComPtr<PageContainerSite>(new PageContainerSite(window, place));
}

HRESULT STDMETHODCALLTYPE PageContainerSite::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    *object = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, IID_PropertyPageSite) || IsEqualIID(iid, IID_IDispatch))
    *object = static_cast<::PropertyPageSite*>(this);
  if (!*object) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PageContainerSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                              IOleInPlaceUIWindow** document,
                                                              LPRECT position, LPRECT clip,
                                                              LPOLEINPLACEFRAMEINFO info) {
  note("GetWindowContext");
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;
  *position = place_;
  *clip = place_;
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HWND makeContainerWindow(const wchar_t* title, int width, int height) {
  static const ATOM containerClass = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"QuendrilaxTestPageContainer";
    return RegisterClassExW(&windowClass);
  }();
  (void)containerClass;
  return CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"QuendrilaxTestPageContainer",
                         title, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_VISIBLE,
                         0, 0, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

SIZE controlPixels(IOleObject* control) {
  SIZEL extent{};
  control->GetExtent(DVASPECT_CONTENT, &extent);
  return win32::himetricToPixels(extent);
}

HostedControl hostControl(const wchar_t* progId, HWND container, bool activate) {
  HostedControl hosted;
  hosted.container = container;
  CLSID classId{};
  hosted.status = CLSIDFromProgID(progId, &classId);
  if (FAILED(hosted.status)) return hosted;
  hosted.status = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                   hosted.control.putVoid());
  if (FAILED(hosted.status)) return hosted;
  const SIZE size = controlPixels(hosted.control.get());
  hosted.site = PageContainerSite::make(container, RECT{8, 8, 8 + size.cx, 8 + size.cy});
  // The control asks for its site before anything else (OLEMISC_SETCLIENTSITEFIRST).
  hosted.status = hosted.control->SetClientSite(static_cast<IOleClientSite*>(hosted.site.get()));
  if (FAILED(hosted.status)) return hosted;
  ComPtr<IPersistStreamInit> persist;
  hosted.status = hosted.control.queryInterface(IID_IPersistStreamInit, persist);
  if (FAILED(hosted.status)) return hosted;
  hosted.status = persist->InitNew();
  if (FAILED(hosted.status)) return hosted;
  hosted.status = hosted.control->SetHostNames(L"Properties", nullptr);
  if (FAILED(hosted.status) || !activate) return hosted;
  hosted.status = hosted.activate();
  return hosted;
}

HRESULT HostedControl::activate() {
  const SIZE size = controlPixels(control.get());
  RECT place{8, 8, 8 + size.cx, 8 + size.cy};
  HRESULT result = control->DoVerb(OLEIVERB_UIACTIVATE, nullptr,
                                   static_cast<IOleClientSite*>(site.get()), 0, container, &place);
  if (FAILED(result)) return result;
  RECT outer{0, 0, size.cx + 16, size.cy + 16};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(container, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(container, GWL_EXSTYLE)));
  SetWindowPos(container, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOMOVE);
  return S_OK;
}

HWND HostedControl::pageWindow() const {
  ComPtr<IOleInPlaceObject> inPlace;
  HWND window = nullptr;
  if (SUCCEEDED(control.queryInterface(IID_IOleInPlaceObject, inPlace)))
    inPlace->GetWindow(&window);
  return window;
}

void HostedControl::close() {
  if (!control) return;
  control->Close(OLECLOSE_NOSAVE);
  control->SetClientSite(nullptr);
  control.reset();
}

}  // namespace qx::wintest
