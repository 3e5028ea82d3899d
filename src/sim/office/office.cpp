#include "sim/office/office.h"

#include "sim/mail/mail_client.h"

namespace qx::sim {

Office::Office(std::filesystem::path diskRoot)
    : diskRoot_(std::move(diskRoot)), postOffice_(std::make_unique<PostOffice>(clock_)) {}

// The post office lets go of the users' mail clients first; the users go
// before the clock their threads are attached to.
Office::~Office() {
  postOffice_.reset();
  users_.clear();
}

HostProcess& Office::addUser(UserSetup setup) {
  std::filesystem::path root = diskRoot_ / setup.name;
  users_.push_back(std::make_unique<HostProcess>(clock_, std::move(setup), std::move(root)));
  postOffice_->attach(users_.back()->mail());
  return *users_.back();
}

HostProcess* Office::find(std::string_view name) {
  for (auto& user : users_)
    if (user->setup().name == name) return user.get();
  return nullptr;
}

}  // namespace qx::sim
