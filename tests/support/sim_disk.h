#pragma once
// One simulated user's disk behind the add-in's file port, on a fresh folder
// of the real disk: the stand-in's FilesSim with its faults, and direct access
// for arranging and inspecting files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/faults.h"
#include "sim/files_sim.h"
#include "sim/host_file_system.h"
#include "sim/temp_folder.h"

namespace qx::testsupport {

class SimDisk {
 public:
  void put(std::string_view path, std::string_view text) { disk.writeText(path, text); }
  void put(std::string_view path, const std::vector<std::uint8_t>& bytes) {
    disk.write(path, bytes);
  }
  std::optional<std::string> text(std::string_view path) const { return disk.readText(path); }
  std::optional<std::vector<std::uint8_t>> bytes(std::string_view path) const {
    return disk.read(path);
  }

  sim::testing::TempFolder temp;
  sim::Faults faults;
  sim::HostFileSystem disk{temp.path()};
  sim::FilesSim files{disk, faults};
};

}  // namespace qx::testsupport
