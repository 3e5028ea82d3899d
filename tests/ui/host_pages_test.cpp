// The stand-in's side of page hosting: creation by ProgID through the
// registration, and the Properties dialog's handling of sites, Apply, OK and
// Cancel, against a scripted control.
#include <gtest/gtest.h>

#include "page_fixture.h"
#include "sim/faults.h"

namespace qx::test {
namespace {

constexpr std::string_view kClassId = "{0A1B2C3D-0000-4000-8000-000000000001}";
constexpr std::u16string_view kProgId = u"Test.Page";

// A page control that records what the host does with it.
class ScriptedPage final : public PageControl,
                           public PropertyPage,
                           public std::enable_shared_from_this<ScriptedPage> {
 public:
  Result<std::shared_ptr<PropertyPage>> queryPropertyPage() override {
    return std::shared_ptr<PropertyPage>(shared_from_this());
  }
  Hresult setClientSite(std::shared_ptr<Dispatch> site) override {
    if (site) {
      auto pageSite = site->queryPropertyPageSite();
      if (pageSite) this->site = *pageSite;
    }
    log += "site;";
    return hr::kOk;
  }
  Result<WindowHandle> activate(WindowHandle parent) override {
    log += "activate;";
    this->parent = parent;
    return WindowHandle{0x777};
  }
  Hresult close() override {
    log += "close;";
    return hr::kOk;
  }
  Hresult getPageInfo(std::u16string&, std::int32_t&) override { return hr::kNotImpl; }
  Result<bool> dirty() override { return isDirty; }
  Hresult apply() override {
    log += "apply;";
    return hr::kOk;
  }

  std::shared_ptr<PropertyPageSite> site;
  WindowHandle parent = kNoWindow;
  bool isDirty = false;
  std::string log;
};

class HostPages : public PageTest {
 protected:
  void install(std::string_view serverPath) {
    registry().putString(reg::kClassesRoot, "Test.Page\\CLSID", "", kClassId);
    registry().putString(reg::kClassesRoot, "CLSID\\" + std::string(kClassId) + "\\InprocServer32",
                         "", serverPath);
    servers->add(kClassId, host->moduleFile(), [this] {
      control = std::make_shared<ScriptedPage>();
      return control;
    });
  }
  std::shared_ptr<ScriptedPage> control;
};

TEST_F(HostPages, ClassesAreCreatedOnlyWhileTheirModuleIsRegistered) {
  start();
  EXPECT_EQ(servers->createByProgId(kProgId).error(), hr::kInvalidClassString);
  install("C:\\elsewhere\\other.dll");
  EXPECT_EQ(servers->createByProgId(kProgId).error(), hr::kClassNotRegistered);
  install(host->moduleFile());
  EXPECT_TRUE(servers->createByProgId(kProgId).has_value());
  registry().removeKey(reg::kClassesRoot, "CLSID\\" + std::string(kClassId));
  EXPECT_EQ(servers->createByProgId(kProgId).error(), hr::kClassNotRegistered);
  host->faults().fail("com.CLSIDFromProgID", hr::kFail);
  EXPECT_EQ(servers->createByProgId(u"Corvessa.OLFoldersPropPage").error(), hr::kFail);
}

TEST_F(HostPages, ThePageGetsItsSiteBeforeItsWindowAndOnlyDirtyPagesAreApplied) {
  start();
  // The module's class object of the folder page, scripted.
  servers->add(addin_class::kFolderPageClassId, host->moduleFile(), [this] {
    control = std::make_shared<ScriptedPage>();
    return control;
  });
  ASSERT_TRUE(dialog->open(tasksId()));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->log, "site;activate;");
  ASSERT_NE(control->site, nullptr);
  EXPECT_NE(control->parent, kNoWindow);
  EXPECT_FALSE(dialog->applyEnabled());
  EXPECT_EQ(dialog->apply(), 0);
  ASSERT_EQ(control->site->onStatusChange(), hr::kOk);
  EXPECT_TRUE(dialog->applyEnabled());
  EXPECT_EQ(*dialog->firstHosted()->statusChanges, 1);
  control->isDirty = true;
  EXPECT_EQ(dialog->ok(), 1);
  EXPECT_EQ(control->log, "site;activate;apply;close;");

  ASSERT_TRUE(dialog->open(tasksId()));
  control->isDirty = true;
  dialog->cancel();
  EXPECT_EQ(control->log, "site;activate;close;");
}

TEST_F(HostPages, ApplyOkAndCancelOnTheAddinsPage) {
  start();
  ASSERT_TRUE(dialog->open(tasksId()));
  const sim::HostedPage* page = dialog->firstHosted();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(windows().isVisible(page->window));
  EXPECT_TRUE(dialog->applyEnabled());
  EXPECT_EQ(dialog->apply(), 1);
  EXPECT_FALSE(dialog->applyEnabled());
  const WindowHandle window = page->window;
  dialog->cancel();
  EXPECT_FALSE(windows().isWindow(window));
  EXPECT_FALSE(dialog->isOpen());
}

TEST_F(HostPages, APageWhoseActivationFailsIsDroppedAndClosed) {
  start();
  host->faults().fail("pages.Activate", hr::kFail);
  ASSERT_TRUE(dialog->open(tasksId()));
  ASSERT_EQ(dialog->pages().size(), 1u);
  EXPECT_EQ(dialog->pages()[0].created, hr::kFail);
  EXPECT_EQ(dialog->firstHosted(), nullptr);
  EXPECT_EQ(dialog->apply(), 0);
  // Only the dialog's own window is left.
  EXPECT_EQ(windows().dialogs().size(), 1u);
}

TEST_F(HostPages, TheFolderPagesWindowFailingLeavesNoPage) {
  start();
  host->faults().fail("windows.createDialog", WinError::kOutOfMemory, 2);
  ASSERT_TRUE(dialog->open(tasksId()));
  EXPECT_EQ(dialog->firstHosted(), nullptr);
  ASSERT_EQ(dialog->pages().size(), 1u);
  EXPECT_TRUE(failed(dialog->pages()[0].created));
}

}  // namespace
}  // namespace qx::test
