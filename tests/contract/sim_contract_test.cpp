// The system ports' contract suites against the stand-ins.
#include <filesystem>
#include <string>

#include "contract/files_contract.h"
#include "contract/registry_contract.h"
#include "contract/shell_contract.h"
#include "contract/values_contract.h"
#include "contract/window_contract.h"
#include "sim/clock_sim.h"
#include "sim/codepage_sim.h"
#include "sim/faults.h"
#include "sim/files_sim.h"
#include "sim/guid_sim.h"
#include "sim/host_file_system.h"
#include "sim/locale_sim.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "sim/temp_folder.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"

namespace qx::contract {
namespace {

// One simulated user's system on a disk of its own.
class SimSystem {
 public:
  SimSystem() { disk_.makeFolders(kFolder); }

  Registry& registry() { return registry_; }
  Files& files() { return files_; }
  Shell& shell() { return shell_; }
  Clock& clock() { return clock_; }
  Locale& locale() { return locale_; }
  CodePage& codePage() { return codePage_; }
  GuidSource& guids() { return guids_; }
  WindowSystem& windows() { return windows_; }

  std::string folder() const { return kFolder; }
  void pump(int ms) { virtualClock_.advance(ms); }
  void answerNextBox(std::u16string_view, int button) { windows_.answerNextBox(button); }

 private:
  static constexpr const char* kFolder = "C:\\QuendrilaxContract\\";
  sim::testing::TempFolder temp_;
  sim::HostFileSystem disk_{temp_.path(), "C:\\"};
  sim::Faults faults_;
  sim::VirtualClock virtualClock_{0};
  sim::UiThread thread_{virtualClock_};
  sim::RegistrySim registry_{faults_};
  sim::FilesSim files_{disk_, faults_};
  sim::ShellSim shell_{disk_, faults_, "alice"};
  sim::ClockSim clock_{virtualClock_, faults_};
  sim::LocaleSim locale_{faults_};
  sim::CodePageSim codePage_{faults_};
  sim::GuidSim guids_{faults_};
  sim::WindowSystemSim windows_{thread_, faults_};
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, RegistryContract, SimSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, FilesContract, SimSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, ShellContract, SimSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, ValuesContract, SimSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, WindowContract, SimSystem);

}  // namespace qx::contract
