// The mail host's objects refuse what a type-library server refuses: the
// end-to-end run only shows the module right if the host is as strict as the
// real one.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "host_com.h"
#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/ui_thread.h"
#include "win/com_ptr.h"
#include "win/files_win.h"

namespace qx::e2e {
namespace {

struct Call {
  const char* what;
  const wchar_t* member;
  WORD flags;
  std::vector<VARIANT> arguments;  // first argument first
  HRESULT expected;
};

VARIANT text(const wchar_t* value) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(value);
  return v;
}
VARIANT number(long value) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

HRESULT invoke(IDispatch* object, const Call& call, VARIANT* result, EXCEPINFO* exception) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(call.member)};
  DISPID member = 0;
  HRESULT status = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(status)) return status;
  std::vector<VARIANT> reversed(call.arguments.rbegin(), call.arguments.rend());
  DISPID put = DISPID_PROPERTYPUT;
  bool isPut = call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  DISPPARAMS parameters{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()),
                        isPut ? 1u : 0u};
  return object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &parameters,
                        isPut ? nullptr : result, exception, nullptr);
}

TEST(MailHostDispatch, RefusesWhatTheTypeLibraryRefuses) {
  sim::VirtualClock clock;
  sim::UiThread thread(clock);
  sim::Faults faults;
  win32::FilesWin files;
  sim::MailClient mail(thread, files, faults, u"anna@example.org");
  win32::ComPtr<IDispatch> application =
      win32::ComPtr<IDispatch>::adopt(wrapObject(mail.applicationObject()));
  ASSERT_TRUE(application);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(invoke(application.get(), {"", L"GetNamespace", DISPATCH_METHOD, {text(L"MAPI")}, S_OK},
                   &result, nullptr),
            S_OK);
  win32::ComPtr<IDispatch> nameSpace = win32::ComPtr<IDispatch>::adopt(V_DISPATCH(&result));
  VariantInit(&result);
  ASSERT_EQ(invoke(application.get(), {"", L"CreateItem", DISPATCH_METHOD, {number(3)}, S_OK},
                   &result, nullptr),
            S_OK);
  win32::ComPtr<IDispatch> task = win32::ComPtr<IDispatch>::adopt(V_DISPATCH(&result));

  const std::vector<std::pair<IDispatch*, Call>> calls = {
      {application.get(), {"names ignore letter case", L"vERSION", DISPATCH_PROPERTYGET, {}, S_OK}},
      {application.get(),
       {"a property is no method", L"Version", DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND}},
      {nameSpace.get(),
       {"a required argument is missing",
        L"GetDefaultFolder",
        DISPATCH_METHOD,
        {},
        DISP_E_BADPARAMCOUNT}},
      {nameSpace.get(),
       {"an optional argument may be left out",
        L"GetFolderFromID",
        DISPATCH_METHOD,
        {text(L"00")},
        DISP_E_EXCEPTION}},
      {task.get(),
       {"a put is no put-by-reference",
        L"Subject",
        DISPATCH_PROPERTYPUTREF,
        {text(L"x")},
        DISP_E_MEMBERNOTFOUND}},
      {task.get(), {"a put", L"Subject", DISPATCH_PROPERTYPUT, {text(L"x")}, S_OK}},
      {task.get(),
       {"a number is taken for text", L"Subject", DISPATCH_PROPERTYPUT, {number(7)}, S_OK}},
      {task.get(), {"no such member", L"Subjekt", DISPATCH_PROPERTYGET, {}, DISP_E_UNKNOWNNAME}},
  };
  for (const auto& [object, call] : calls) {
    VariantInit(&result);
    EXCEPINFO exception{};
    EXPECT_EQ(invoke(object, call, &result, &exception), call.expected) << call.what;
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (VARIANT v : call.arguments) VariantClear(&v);
  }
}

}  // namespace
}  // namespace qx::e2e
