#pragma once
// A page in a folder's Properties dialog, as the host drives it: the add-in's
// page control implements PropertyPage (iid::kPropertyPage) and tells the
// host's page site (iid::kPropertyPageSite) when its content changed.
#include <cstdint>
#include <string>

#include "platform/dispatch.h"

namespace qx {

class PropertyPageSite : public Dispatch {
 public:
  // The page's content changed: the host enables its Apply button.
  virtual Hresult onStatusChange() = 0;
};

class PropertyPage : public Dispatch {
 public:
  // The page's help file and help context.
  virtual Hresult getPageInfo(std::u16string& helpFile, std::int32_t& helpContext) = 0;
  // Whether the page holds changes not yet applied.
  virtual Result<bool> dirty() = 0;
  // The host's OK or Apply.
  virtual Hresult apply() = 0;
};

}  // namespace qx
