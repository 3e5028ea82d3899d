#pragma once
// The stored state of one item of the simulated mail client, and the working
// copies that item objects edit until they save.
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace qx::sim::mail {

enum class ItemKind : std::uint8_t {
  kTask = 1,
  kMail = 2,
  // Non-delivery reports and similar: neither task nor mail to the add-in.
  kReport = 3,
  kContact = 4,
};

struct UserProp {
  std::u16string name;
  std::int32_t type = 1;  // user_property_type::k...
  Variant value;          // text, long, double, bool or date
  // Stable within its item, so that a property object keeps addressing the
  // same property among several of one name; 0 until the item numbers it.
  std::uint32_t id = 0;
  // The content, not the numbering.
  friend bool operator==(const UserProp& a, const UserProp& b) {
    return a.name == b.name && a.type == b.type && a.value == b.value;
  }
};

struct AttachmentData {
  std::uint32_t id = 0;  // stable within its item, so objects can follow it
  std::u16string displayName;
  std::u16string fileName;
  std::vector<std::uint8_t> content;
  friend bool operator==(const AttachmentData&, const AttachmentData&) = default;
};

// A named property: property set (canonical GUID text) and name.
struct NamedKey {
  std::u16string set;
  std::u16string name;
  friend auto operator<=>(const NamedKey&, const NamedKey&) = default;
  friend bool operator==(const NamedKey&, const NamedKey&) = default;
};

struct ItemData {
  ItemKind kind = ItemKind::kTask;
  std::u16string messageClass = u"IPM.Task";
  std::u16string subject;
  std::u16string body;
  std::int32_t importance = 1;
  std::int32_t sensitivity = 0;
  // Task fields.
  std::u16string categories;
  std::u16string owner;
  std::int32_t status = 0;
  std::int32_t percentComplete = 0;
  DateValue startDate = kNoDate;
  DateValue dueDate = kNoDate;
  bool complete = false;
  // Mail fields.
  std::u16string to;
  std::u16string sentOnBehalfOfName;
  std::u16string senderAddress;
  bool readReceiptRequested = false;
  bool deleteAfterSubmit = false;
  // Set by the transport, in UTC: when the mail left its sender's Outbox and
  // when it reached this Inbox. A mail that never travelled has neither.
  DateValue sentOn = kNoDate;
  DateValue receivedTime = kNoDate;

  std::vector<UserProp> userProperties;
  std::vector<AttachmentData> attachments;
  // Named properties other than user properties (internet headers, ...).
  std::map<NamedKey, Variant> namedProperties;
  // Properties by id (below 0x8000), values typed as written.
  std::map<std::uint16_t, Variant> rawProperties;

  friend bool operator==(const ItemData&, const ItemData&) = default;

  static ItemData newTask();
  static ItemData newMail();

  const UserProp* findUserProperty(std::u16string_view name) const;
  UserProp* findUserProperty(std::u16string_view name);
  const UserProp* userPropertyById(std::uint32_t id) const;
  UserProp* userPropertyById(std::uint32_t id);
  // Gives every user property without an id one of its own.
  void numberUserProperties();
};

}  // namespace qx::sim::mail
