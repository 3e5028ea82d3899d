#pragma once
// Status codes of the mail client, its automation layer and the safe-item
// library beyond the general ones of status.h, with the host's numeric values.
#include "platform/status.h"

namespace qx::hr {
inline constexpr Hresult kNoConnection =
    static_cast<Hresult>(0x80040200u);  // CONNECT_E_NOCONNECTION
inline constexpr Hresult kMemberNotFound =
    static_cast<Hresult>(0x80020003u);                                   // DISP_E_MEMBERNOTFOUND
inline constexpr Hresult kBadIndex = static_cast<Hresult>(0x8002000Bu);  // DISP_E_BADINDEX
inline constexpr Hresult kTypeMismatch = static_cast<Hresult>(0x80020005u);   // DISP_E_TYPEMISMATCH
inline constexpr Hresult kDispException = static_cast<Hresult>(0x80020009u);  // DISP_E_EXCEPTION
inline constexpr Hresult kMapiNoSupport = static_cast<Hresult>(0x80040102u);  // MAPI_E_NO_SUPPORT
inline constexpr Hresult kMapiInvalidEntryId =
    static_cast<Hresult>(0x80040107u);  // MAPI_E_INVALID_ENTRYID
inline constexpr Hresult kMapiNotFound = static_cast<Hresult>(0x8004010Fu);  // MAPI_E_NOT_FOUND
inline constexpr Hresult kMapiCorruptData =
    static_cast<Hresult>(0x8004011Bu);  // MAPI_E_CORRUPT_DATA
inline constexpr Hresult kMapiInvalidParameter =
    static_cast<Hresult>(0x80070057u);  // MAPI_E_INVALID_PARAMETER
inline constexpr Hresult kMapiObjectDeleted =
    static_cast<Hresult>(0x8004010Au);  // MAPI_E_OBJECT_DELETED
// The object is in use elsewhere: a mail the transport is transmitting.
inline constexpr Hresult kMapiBusy = static_cast<Hresult>(0x8004010Bu);  // MAPI_E_BUSY
// The object's host has gone away (the simulated or real host process ended).
inline constexpr Hresult kDisconnected = static_cast<Hresult>(0x80010108u);  // RPC_E_DISCONNECTED
}  // namespace qx::hr
