// The module's self-registration against the registry stand-in.
#include "ui/registration.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/faults.h"
#include "sim/registry_sim.h"
#include "ui/class_ids.h"

namespace qx {
namespace {

constexpr std::string_view kModule = "C:\\Program Files\\Quendrilax\\Quendrilax.dll";

class RegistrationTest : public ::testing::Test {
 protected:
  std::string text(std::string_view path, std::string_view name = "") {
    auto value = registry.value(reg::kClassesRoot, path, name);
    if (!value || value->type != reg::kSz || value->data.empty()) return "<none>";
    return std::string(value->data.begin(), value->data.end() - 1);
  }

  sim::Faults faults;
  sim::RegistrySim registry{faults};
};

TEST_F(RegistrationTest, WritesBothProgIdsAndTheClassKeyOfEveryClass) {
  ASSERT_EQ(registerServer(registry, kModule), win::kSuccess);
  for (const AddinClass& c : addinClasses()) {
    const std::string progId(c.progId);
    const std::string classKey = "CLSID\\" + std::string(c.classId);
    SCOPED_TRACE(progId);
    EXPECT_EQ(text(progId), c.text);
    EXPECT_EQ(text(progId + "\\CLSID"), c.classId);
    EXPECT_EQ(text(progId + "\\CurVer"), progId + ".1");
    EXPECT_EQ(text(progId + ".1"), c.text);
    EXPECT_EQ(text(progId + ".1\\CLSID"), c.classId);
    EXPECT_EQ(text(classKey), c.text);
    EXPECT_EQ(text(classKey + "\\ProgID"), progId + ".1");
    EXPECT_EQ(text(classKey + "\\VersionIndependentProgID"), progId);
    EXPECT_TRUE(registry.hasKey(reg::kClassesRoot, classKey + "\\Programmable"));
    EXPECT_EQ(text(classKey + "\\InprocServer32"), kModule);
    EXPECT_EQ(text(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(text(classKey + "\\TypeLib"), addin_class::kTypeLibId);
    const bool control = c.toolboxBitmap != 0;
    EXPECT_EQ(registry.hasKey(reg::kClassesRoot, classKey + "\\Control"), control);
    if (control) {
      EXPECT_EQ(text(classKey + "\\ToolboxBitmap32"),
                std::string(kModule) + ", " + std::to_string(c.toolboxBitmap));
      EXPECT_EQ(text(classKey + "\\MiscStatus"), "0");
      EXPECT_NE(text(classKey + "\\MiscStatus\\1"), "<none>");
      EXPECT_EQ(text(classKey + "\\Version"), "1.0");
    }
  }
  EXPECT_EQ(text("Corvessa.OLFoldersPropPage\\CLSID"), addin_class::kFolderPageClassId);
  EXPECT_EQ(text("Quendrilax.PropPageEmpty\\CLSID"), addin_class::kEmptyPageClassId);
  EXPECT_EQ(registry.openHandles(), 0u);
}

TEST_F(RegistrationTest, UnregistrationLeavesTheClassesRootAsItWas) {
  // Another server's class and ProgID stay untouched.
  registry.putString(reg::kClassesRoot, "CLSID\\{11111111-2222-3333-4444-555555555555}", "",
                     "Other Class");
  registry.putString(reg::kClassesRoot, "Other.Thing\\CLSID", "",
                     "{11111111-2222-3333-4444-555555555555}");
  const std::string before = registry.saveRegFile(sim::RegFileEncoding::kUtf8);
  ASSERT_EQ(registerServer(registry, kModule), win::kSuccess);
  ASSERT_NE(registry.saveRegFile(sim::RegFileEncoding::kUtf8), before);
  ASSERT_EQ(unregisterServer(registry), win::kSuccess);
  EXPECT_EQ(registry.saveRegFile(sim::RegFileEncoding::kUtf8), before);
  // A second unregistration finds nothing to remove and is no failure.
  EXPECT_EQ(unregisterServer(registry), win::kSuccess);
}

TEST_F(RegistrationTest, AFailedWriteIsTheResult) {
  faults.fail("registry.setValue", WinError::kAccessDenied, 5);
  EXPECT_EQ(registerServer(registry, kModule), WinError::kAccessDenied);
  EXPECT_EQ(registry.openHandles(), 0u);
}

TEST_F(RegistrationTest, AFailedRemovalIsReportedAfterTheOtherKeysAreGone) {
  ASSERT_EQ(registerServer(registry, kModule), win::kSuccess);
  faults.fail("registry.deleteTree", WinError::kAccessDenied, 1);
  EXPECT_EQ(unregisterServer(registry), WinError::kAccessDenied);
  EXPECT_TRUE(registry.hasKey(reg::kClassesRoot, "Corvessa.Connect.1"));
  EXPECT_FALSE(registry.hasKey(reg::kClassesRoot, "Corvessa.Connect"));
  EXPECT_FALSE(registry.hasKey(reg::kClassesRoot, "Quendrilax.PropPageEmpty"));
}

}  // namespace
}  // namespace qx
