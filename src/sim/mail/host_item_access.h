#pragma once
// Field access shared by the simulated task and mail objects: each member asks
// for its scheduled fault first, then reads the item's current state or edits
// its working copy.
#include <string>
#include <string_view>
#include <utility>

#include "platform/mail_status.h"
#include "sim/mail/client_core.h"
#include "sim/mail/item_handle.h"

namespace qx::sim::mail {

class ItemAccess {
 public:
  ItemAccess(std::shared_ptr<ItemHandle> handle, std::string interfaceName)
      : handle_(std::move(handle)), prefix_("mail." + std::move(interfaceName) + ".") {}

  ItemHandle& handle() { return *handle_; }
  const std::shared_ptr<ItemHandle>& handlePtr() const { return handle_; }
  ClientCore& core() { return handle_->core(); }

  std::optional<Hresult> fault(std::string_view member) {
    return core().fault(prefix_ + std::string(member));
  }

  template <class T, class Member>
  Result<T> get(std::string_view member, Member field) {
    if (auto f = fault(member)) return failure(*f);
    auto data = handle_->view();
    if (!data) return failure(data.error());
    return T((*data)->*field);
  }

  template <class T, class Member>
  Hresult set(std::string_view member, Member field, T value) {
    if (auto f = fault(member)) return *f;
    auto data = handle_->edit();
    if (!data) return data.error();
    (*data)->*field = std::move(value);
    return hr::kOk;
  }

  // Numbers with a fixed range of values: the host refuses the others.
  template <class Member>
  Hresult setRanged(std::string_view member, Member field, std::int32_t value, std::int32_t low,
                    std::int32_t high) {
    if (value < low || value > high) {
      if (auto f = fault(member)) return *f;
      return hr::kInvalidArg;
    }
    return set<std::int32_t>(member, field, value);
  }

 private:
  std::shared_ptr<ItemHandle> handle_;
  std::string prefix_;
};

}  // namespace qx::sim::mail
