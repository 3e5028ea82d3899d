#pragma once
// A small simulated office: several users' machines on one virtual clock,
// with the post office that carries mail between them.
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "sim/mail/post_office.h"
#include "sim/office/host_process.h"
#include "sim/ui_thread.h"

namespace qx::sim {

class Office {
 public:
  // Each user's drives live in a folder of their own below `diskRoot`.
  explicit Office(std::filesystem::path diskRoot);
  ~Office();
  Office(const Office&) = delete;
  Office& operator=(const Office&) = delete;

  VirtualClock& clock() { return clock_; }
  // Carries mail between the users by address.
  PostOffice& postOffice() { return *postOffice_; }

  HostProcess& addUser(UserSetup setup);
  // None when no user has that name.
  HostProcess* find(std::string_view name);
  const std::vector<std::unique_ptr<HostProcess>>& users() const { return users_; }

 private:
  std::filesystem::path diskRoot_;
  VirtualClock clock_;
  std::vector<std::unique_ptr<HostProcess>> users_;
  std::unique_ptr<PostOffice> postOffice_;
};

}  // namespace qx::sim
