#include "win/com/page_control_com.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>

#include "platform/mail_property_page.h"
#include "platform/page_control.h"
#include "ui/class_ids.h"
#include "ui/empty_page.h"
#include "ui/folder_page.h"
#include "ui/folder_page_template.h"
#include "win/com/com_module.h"
#include "win/com/dual_dispatch.h"
#include "win/com/fenced.h"
#include "win/com_ids.h"
#include "win/dialog_extent.h"
#include "win/host_objects.h"
#include "win/window_system_win.h"

namespace qx::win32 {
namespace {

// What tells the two pages apart.
struct PageClass {
  const CLSID& classId;
  const IID& pageInterface;  // the page's own dual interface
  std::shared_ptr<PageControl> (*create)(AddinModule& module);
  DialogTemplate (*dialogTemplate)();
};

const PageClass kFolderPage{CLSID_OLFoldersPropPage, IID_IOLFoldersPropPage,
                            COLFoldersPropPage::create, folderPageTemplate};
const PageClass kEmptyPage{CLSID_PropPageEmpty, IID_IPropPageEmpty, CPropPageEmpty::create,
                           emptyPageTemplate};

// IDispatch answers the PropertyPage members, by the type library of the
// host's interfaces; the page's own dual interface has none of its own.
class PageControlCom final : public DualDispatch<::PropertyPage>,
                             public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IOleControl,
                             public IViewObject2,
                             public IPersistStreamInit,
                             public IProvideClassInfo2 {
 public:
  PageControlCom(ComModule& module, const PageClass& pageClass, ComPtr<ITypeInfo> typeInfo)
      : DualDispatch(std::move(typeInfo)),
        module_(module),
        class_(pageClass),
        page_(pageClass.create(module.addin())),
        extent_(pixelsToHimetric(dialogPixelSize(pageClass.dialogTemplate()))) {
    module_.objectCreated();
  }
  ~PageControlCom() override {
    page_.reset();
    module_.objectDestroyed();
  }

  // --- IUnknown, one for every interface ---
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = interfaceFor(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DualDispatch::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DualDispatch::Release(); }

  // --- PropertyPage ---
  HRESULT STDMETHODCALLTYPE GetPageInfo(BSTR* helpFile, LONG* helpContext) override {
    if (!helpFile || !helpContext) return E_POINTER;
    *helpFile = nullptr;
    *helpContext = 0;
    return fenced([&]() -> HRESULT {
      auto page = page_->queryPropertyPage();
      if (!page) return E_NOTIMPL;
      std::u16string file;
      std::int32_t context = 0;
      const Hresult status = (*page)->getPageInfo(file, context);
      if (failed(status)) return status;
      *helpFile = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(file.data()),
                                    static_cast<UINT>(file.size()));
      *helpContext = context;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL* dirty) override {
    if (!dirty) return E_POINTER;
    *dirty = VARIANT_FALSE;
    return fenced([&]() -> HRESULT {
      // The placeholder page holds nothing that could change.
      auto page = page_->queryPropertyPage();
      if (!page) return S_OK;
      auto changed = (*page)->dirty();
      if (!changed) return changed.error();
      *dirty = *changed ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Apply() override {
    return fenced([&]() -> HRESULT {
      auto page = page_->queryPropertyPage();
      return page ? (*page)->apply() : S_OK;
    });
  }

  // --- IOleObject ---
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    clientSite_ = ComPtr<IOleClientSite>(site);
    return fenced([&] { return page_->setClientSite(makeClientSite(ComPtr<IUnknown>(site))); });
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    *site = ComPtr<IOleClientSite>(clientSite_).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    InPlaceDeactivate();
    window_ = nullptr;
    const HRESULT status = fenced([&] { return page_->close(); });
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return status;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override {
    if (data) *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent,
                                   LPCRECT position) override {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_UIACTIVATE:
        return activate(parent, position, true);
      case OLEIVERB_INPLACEACTIVATE:
        return activate(parent, position, false);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
      default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override {
    if (verbs) *verbs = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* classId) override {
    if (!classId) return E_POINTER;
    *classId = class_.classId;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override {
    if (name) *name = nullptr;
    return OLE_S_USEREG;
  }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* extent) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!extent) return E_POINTER;
    extent_ = *extent;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* extent) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!extent) return E_POINTER;
    *extent = extent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override {
    if (!adviseHolder_) {
      HRESULT status = CreateOleAdviseHolder(adviseHolder_.put());
      if (FAILED(status)) return status;
    }
    return adviseHolder_->Advise(sink, connection);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? addin_class::kControlMiscStatus : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // --- IOleWindow, shared by both in-place interfaces ---
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // --- IOleInPlaceObject ---
  // The page's edits live in its window's controls until the host applies
  // them: deactivation hides the window, and only Close destroys it.
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    if (window_) ShowWindow(window_, SW_HIDE);
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    inPlaceSite_ = {};
    frame_.reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    if (!position) return E_POINTER;
    if (window_)
      SetWindowPos(window_, nullptr, position->left, position->top,
                   position->right - position->left, position->bottom - position->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }

  // --- IOleInPlaceActiveObject ---
  // The dialog manager moves the focus on Tab and the arrow keys and presses
  // buttons on their mnemonics, as in any dialog.
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    if (!message || !window_) return S_FALSE;
    if (message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return S_FALSE;
    if (message->hwnd != window_ && !IsChild(window_, message->hwnd)) return S_FALSE;
    return IsDialogMessageW(window_, message) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // --- IOleControl ---
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

  // --- IViewObject2 ---
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC draw,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!draw || !bounds) return E_INVALIDARG;
    if (!window_) {
      RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
      FillRect(draw, &area, GetSysColorBrush(COLOR_BTNFACE));
      return S_OK;
    }
    // The page's window draws itself; a container that wants a picture of it
    // gets the window printed at the bounds.
    const int saved = SaveDC(draw);
    SetViewportOrgEx(draw, bounds->left, bounds->top, nullptr);
    SendMessageW(window_, WM_PRINT, reinterpret_cast<WPARAM>(draw),
                 PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND | PRF_NONCLIENT);
    RestoreDC(draw, saved);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) override {
    if (colors) *colors = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override {
    viewSink_ = ComPtr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) *sink = ComPtr<IAdviseSink>(viewSink_).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*,
                                      LPSIZEL extent) override {
    // IOleObject's extent, by its own signature.
    return GetExtent(aspect, extent);
  }

  // --- IPersistStreamInit: the pages keep nothing in a stream ---
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override { return GetUserClassID(classId); }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

  // --- IProvideClassInfo2 ---
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeInfo> classInfo;
    HRESULT status = module_.classTypeInfo(class_.classId, classInfo);
    if (FAILED(status)) return status;
    *info = classInfo.detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    // The pages raise no events.
    return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
  }

 private:
  bool answers(REFIID) const override { return false; }

  void* interfaceFor(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_PropertyPage) || IsEqualIID(iid, class_.pageInterface))
      return static_cast<::PropertyPage*>(this);
    if (IsEqualIID(iid, IID_IOleObject)) return static_cast<IOleObject*>(this);
    if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
      return static_cast<IOleInPlaceObject*>(this);
    if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
      return static_cast<IOleInPlaceActiveObject*>(this);
    if (IsEqualIID(iid, IID_IOleControl)) return static_cast<IOleControl*>(this);
    if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
      return static_cast<IViewObject2*>(this);
    if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit))
      return static_cast<IPersistStreamInit*>(this);
    if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2))
      return static_cast<IProvideClassInfo2*>(this);
    return nullptr;
  }

  // In-place activation as the container's site allows it: the site names the
  // parent window and the page's place in it; without such a site the verb's
  // own window and rectangle serve.
  HRESULT activate(HWND parent, LPCRECT position, bool uiActivate) {
    if (!inPlaceActive_) {
      const SIZE size = himetricToPixels(extent_);
      RECT place = position ? *position : RECT{0, 0, size.cx, size.cy};
      RECT clip = place;
      ComPtr<IOleInPlaceSite> site;
      if (clientSite_) clientSite_.queryInterface(IID_IOleInPlaceSite, site);
      if (site) {
        if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
        site->OnInPlaceActivate();
        HWND siteWindow = nullptr;
        if (SUCCEEDED(site->GetWindow(&siteWindow)) && siteWindow) parent = siteWindow;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(
                site->GetWindowContext(frame.put(), document.put(), &place, &clip, &frameInfo)))
          frame_ = std::move(frame);
      }
      if (!parent) return OLE_E_INVALIDHWND;
      if (!window_) {
        auto made = fencedResult([&] { return page_->activate(fromHwnd(parent)); });
        if (!made) {
          if (site) site->OnInPlaceDeactivate();
          frame_.reset();
          return made.error();
        }
        window_ = toHwnd(*made);
      } else if (GetParent(window_) != parent) {
        SetParent(window_, parent);
      }
      inPlaceSite_ = std::move(site);
      inPlaceActive_ = true;
      SetObjectRects(&place, &clip);
      ShowWindow(window_, SW_SHOW);
    }
    if (uiActivate && !uiActive_) {
      uiActive_ = true;
      if (inPlaceSite_) inPlaceSite_->OnUIActivate();
      if (frame_) frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    }
    // Every UI activation takes the focus, not only the first: the user may
    // have clicked elsewhere in the sheet since.
    if (uiActivate && !IsChild(window_, GetFocus())) {
      if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
    }
    if (clientSite_) clientSite_->ShowObject();
    return S_OK;
  }

  template <class Call>
  static Result<WindowHandle> fencedResult(Call call) noexcept {
    try {
      return call();
    } catch (...) {
      return failure(E_UNEXPECTED);
    }
  }

  ComModule& module_;
  const PageClass& class_;
  std::shared_ptr<PageControl> page_;
  SIZEL extent_;
  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleAdviseHolder> adviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  HWND window_ = nullptr;
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
};

HRESULT createPageControl(ComModule& module, const PageClass& pageClass, REFIID iid,
                          void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return fenced([&]() -> HRESULT {
    ComPtr<ITypeInfo> typeInfo;
    module.hostTypeInfo(IID_PropertyPage, typeInfo);
    // COM's reference count owns the object from here on.
    ComPtr<::PropertyPage> made(new PageControlCom(module, pageClass, std::move(typeInfo)));
    return made->QueryInterface(iid, object);
  });
}

}  // namespace

HRESULT createFolderPageControl(ComModule& module, REFIID iid, void** object) {
  return createPageControl(module, kFolderPage, iid, object);
}

HRESULT createEmptyPageControl(ComModule& module, REFIID iid, void** object) {
  return createPageControl(module, kEmptyPage, iid, object);
}

}  // namespace qx::win32
