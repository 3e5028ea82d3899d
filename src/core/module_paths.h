#pragma once
// Where the add-in's own module lies: both logs are kept beside it.
#include <string>
#include <string_view>

namespace qx {

class Shell;

// The folder of a module path, with its trailing backslash; empty (the current
// directory) when the path holds none. The module may bear any file name.
std::string folderOfPath(std::string_view modulePath);

// The folder of the add-in's module; empty when the shell cannot name it.
std::string moduleFolderOf(Shell& shell);

}  // namespace qx
