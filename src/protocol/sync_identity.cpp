#include "protocol/sync_identity.h"

#include <cstdint>

#include "platform/safe_mail_item.h"
#include "protocol/sync_id.h"
#include "protocol/sync_prop_tag.h"

namespace qx {
namespace {

Result<std::shared_ptr<UserProperty>> findIdProperty(UserProperties& properties) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return failure(count);
  for (std::int32_t i = 1; i <= *count; ++i) {
    const Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) return failure(property);
    const Result<std::u16string> name = (*property)->name();
    if (!name) return failure(name);
    if (*name == syncid::kPropertyName) return *property;
  }
  return std::shared_ptr<UserProperty>();
}

Result<std::shared_ptr<TaskItem>> asTask(const Result<std::shared_ptr<Dispatch>>& object) {
  if (!object) return failure(object);
  return (*object)->queryTask();
}

// Gone for good: straight out of Deleted Items when that can be reached, so
// that no stray task is left there; otherwise at least out of the folder.
void discard(Namespace& session, TaskItem& task) {
  const Result<std::shared_ptr<Folder>> deletedItems =
      session.getDefaultFolder(default_folder::kDeletedItems);
  if (deletedItems) {
    if (const Result<std::shared_ptr<TaskItem>> binned = asTask(task.move(*deletedItems))) {
      (void)(*binned)->deleteItem();
      return;
    }
  }
  (void)task.deleteItem();
}

// The definer moved into `folder` when the object the move gave back cannot be
// asked for its task interface: found again by its subject, so that it does
// not stay among the user's tasks.
void discardFromFolder(Namespace& session, Folder& folder) {
  const Result<std::shared_ptr<Items>> items = folder.items();
  if (!items) return;
  std::u16string filter(u"[Subject] = '");
  filter.append(syncid::kFieldDefinerSubject).append(u"'");
  const Result<std::shared_ptr<Dispatch>> found = (*items)->find(filter);
  if (!found || !*found) return;  // no match: nothing was left
  if (const Result<std::shared_ptr<TaskItem>> definer = (*found)->queryTask()) {
    discard(session, **definer);
  }
}

}  // namespace

Result<TaskSyncId> getOrAssignSyncId(UserProperties& properties, GuidSource& guids) {
  const Result<std::shared_ptr<UserProperty>> existing = findIdProperty(properties);
  if (!existing) return failure(existing.error());
  if (*existing) {
    const Result<Variant> value = (*existing)->value();
    if (!value) return failure(value);
    const std::u16string* text = value->text();
    return TaskSyncId{text != nullptr ? *text : std::u16string(), false};
  }
  // The id is made before the property: a property left empty by a failed
  // generator would be saved later as an empty id that is never replaced.
  Result<std::u16string> id = makeSyncId(guids);
  if (!id) return failure(id);
  const Result<std::shared_ptr<UserProperty>> added =
      properties.add(syncid::kPropertyName, user_property_type::kText);
  if (!added) return failure(added);
  if (const Hresult status = (*added)->setValue(Variant(*id)); failed(status)) {
    (void)(*added)->deleteProperty();
    return failure(status);
  }
  return TaskSyncId{std::move(*id), true};
}

Result<TaskSyncId> getOrAssignSyncId(TaskItem& task, GuidSource& guids) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return failure(properties);
  return getOrAssignSyncId(**properties, guids);
}

std::shared_ptr<Dispatch> findTaskBySyncId(Namespace& session, std::shared_ptr<Folder> folder,
                                           std::u16string_view id) {
  // A quote would end the filter's text early and let the rest of a received
  // id act as filter syntax, so that a mail could name any task.
  if (!folder || id.empty() || id.find(u'\'') != std::u16string_view::npos) return nullptr;
  Result<std::shared_ptr<Items>> items = folder->items();
  if (!items) return nullptr;
  if (failed((*items)->sort(syncid::kFieldReference, false))) {
    (void)ensureSyncIdField(session, folder);
    items = folder->items();
    if (!items) return nullptr;
    if (failed((*items)->sort(syncid::kFieldReference, false))) return nullptr;
  }
  std::u16string filter(syncid::kFieldReference);
  filter.append(u" = '").append(id).append(u"'");
  const Result<std::shared_ptr<Dispatch>> found = (*items)->find(filter);
  return found ? *found : nullptr;
}

Hresult ensureSyncIdField(Namespace& session, const std::shared_ptr<Folder>& folder) {
  if (!folder) return hr::kPointer;
  const Result<std::shared_ptr<Application>> application = session.application();
  if (!application) return application.error();
  const Result<std::shared_ptr<TaskItem>> task =
      asTask((*application)->createItem(item_kind::kTask));
  if (!task) return task.error();

  // Private before it is first saved: the sender never mails a private task,
  // so none of the change events this task raises in a watched folder can
  // become a sync mail.
  // Nothing is stored before the save, so a failure up to it leaves nothing.
  // The subject is what finds the task again should the moved object fail us.
  if (const Hresult status = (*task)->setSubject(syncid::kFieldDefinerSubject); failed(status))
    return status;
  if (const Hresult status = (*task)->setSensitivity(sensitivity::kPrivate); failed(status))
    return status;
  if (const Hresult status = (*task)->save(); failed(status)) return status;

  std::shared_ptr<TaskItem> definer = *task;
  const Result<std::shared_ptr<Dispatch>> moved = definer->move(folder);
  if (!moved) {
    discard(session, *definer);
    return moved.error();
  }
  // No item back: it already lies in that folder.
  if (*moved) {
    const Result<std::shared_ptr<TaskItem>> inFolder = (*moved)->queryTask();
    if (!inFolder) {
      discardFromFolder(session, *folder);
      return inFolder.error();
    }
    definer = *inFolder;
  }

  Hresult status = hr::kOk;
  const Result<std::shared_ptr<UserProperties>> properties = definer->userProperties();
  if (!properties) {
    status = properties.error();
  } else if (const auto added =
                 (*properties)->add(syncid::kPropertyName, user_property_type::kText);
             !added) {
    status = added.error();
  } else {
    status = definer->save();
  }

  discard(session, *definer);
  return status;
}

Result<std::shared_ptr<Dispatch>> findCounterpart(Namespace& session, SafeLibrary& library,
                                                  Diagnostics& diagnostics,
                                                  const std::shared_ptr<Dispatch>& received,
                                                  std::shared_ptr<Folder> target) {
  const Result<std::shared_ptr<MapiUtilities>> utilities = createMapiUtilities(library);
  if (!utilities) {
    diagnostics.reportLibraryMissing();
    return failure(utilities.error());
  }
  const std::optional<std::u16string> id =
      readReceivedText(**utilities, received, syncid::kPropertyName);
  if (!id) return std::shared_ptr<Dispatch>();
  return findTaskBySyncId(session, std::move(target), *id);
}

std::optional<std::u16string> readReceivedText(MapiUtilities& utilities,
                                               const std::shared_ptr<Dispatch>& received,
                                               std::u16string_view name) {
  if (!received) return std::nullopt;
  const Result<std::int32_t> tag =
      utilities.getIdsFromNames(received, prop_set::kPublicStrings, name, false);
  if (!tag) return std::nullopt;
  const Result<std::shared_ptr<SafeMessage>> message = received->querySafeMessage();
  if (!message) return std::nullopt;
  const Result<Variant> value = (*message)->field(asString8Tag(*tag));
  if (!value || value->text() == nullptr) return std::nullopt;
  return *value->text();
}

}  // namespace qx
