// The page site that the host's folder Properties dialog gives a page: asking
// it for its interface and telling it of a change fail on demand like any
// other host call.
#include "sim/mail_fixture.h"
#include "sim/pages/folder_properties.h"
#include "sim/pages/inproc_servers.h"
#include "sim/registry_sim.h"
#include "sim/window_system_sim.h"

namespace qx::sim::mailtest {
namespace {

constexpr Hresult kInjected = static_cast<Hresult>(0x8004FACEu);
constexpr std::string_view kClassId = "{0A1B2C3D-0000-4000-8000-00000000A11E}";

// A page that keeps the site it is given and makes no window.
class SiteKeepingPage : public PageControl {
 public:
  Hresult setClientSite(std::shared_ptr<Dispatch> given) override {
    if (given) site = std::move(given);
    return hr::kOk;
  }
  Result<WindowHandle> activate(WindowHandle) override { return failure(hr::kNotImpl); }
  Hresult close() override { return hr::kOk; }
  std::shared_ptr<Dispatch> site;
};

class PageSiteTest : public MailFixture {
 protected:
  void SetUp() override {
    registry.putString(reg::kClassesRoot, "Test.Page\\CLSID", "", kClassId);
    registry.putString(reg::kClassesRoot, "CLSID\\" + std::string(kClassId) + "\\InprocServer32",
                       "", "C:\\m.dll");
    servers.add(kClassId, "C:\\m.dll", [this] { return page; });
    offers = std::make_shared<RecordingSink>();
    offers->onEvent = [](const Event& e) {
      EXPECT_EQ(
          ok(e.args.at(0).asDispatch()->queryPropertyPages())->add(Variant(u"Test.Page"), u"Test"),
          hr::kOk);
    };
    ok(ok(ns()->findConnectionPoint(iid::kNamespaceEvents))->advise(offers));
  }

  RegistrySim registry{faults};
  WindowSystemSim windows{thread, faults};
  InprocServers servers{registry, faults};
  FolderPropertiesDialog dialog{client, windows, servers, faults};
  std::shared_ptr<SiteKeepingPage> page = std::make_shared<SiteKeepingPage>();
  std::shared_ptr<RecordingSink> offers;
};

TEST_F(PageSiteTest, TheSiteQueryAndItsChangeNoticeFailByName) {
  ASSERT_TRUE(dialog.open(tasksId()));
  ASSERT_TRUE(page->site) << "the page got its site before activation";

  faults.fail("mail.QueryInterface.PropertyPageSite", kInjected);
  EXPECT_EQ(page->site->queryPropertyPageSite().error(), kInjected);
  auto site = ok(page->site->queryPropertyPageSite());

  faults.fail("mail.PropertyPageSite.OnStatusChange", kInjected);
  EXPECT_EQ(site->onStatusChange(), kInjected);
  EXPECT_FALSE(dialog.applyEnabled()) << "a failed notice enables nothing";
  EXPECT_EQ(site->onStatusChange(), hr::kOk);
  EXPECT_TRUE(dialog.applyEnabled());
}

}  // namespace
}  // namespace qx::sim::mailtest
