// The system ports' contract suites against the Win32 adapters.
#include "contract/files_contract.h"
#include "contract/registry_contract.h"
#include "contract/shell_contract.h"
#include "contract/values_contract.h"
#include "contract/window_contract.h"
#include "win/win_system.h"

namespace qx::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RegistryContract, wintest::WinSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FilesContract, wintest::WinSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ShellContract, wintest::WinSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ValuesContract, wintest::WinSystem);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, WindowContract, wintest::WinSystem);

}  // namespace qx::contract
