#pragma once
// The module's classes as COM knows them: class ids and ProgIDs fixed for all
// installations, and the id of the module's type library. The type library
// (res/quendrilax.idl of the Windows module) declares the same ids; change
// them together or not at all.
#include <cstdint>
#include <string_view>

namespace qx::addin_class {

// Braced upper-case GUID texts, as the registry holds them.
inline constexpr std::string_view kConnectClassId = "{E45BE4ED-706C-47CF-A0D0-DC909F9EF46F}";
inline constexpr std::string_view kFolderPageClassId = "{4C7E8BE9-A589-462D-9CDC-9E8A41498667}";
inline constexpr std::string_view kEmptyPageClassId = "{EE977A7B-1D58-46AA-9679-D8F17220DC89}";
// The type library CorvessaLib, version 1.0.
inline constexpr std::string_view kTypeLibId = "{FB1ACFF6-08A4-490D-B460-5D8D7028B2BF}";

// Version-independent ProgIDs; the version-dependent ones add ".1".
inline constexpr std::string_view kConnectProgId = "Corvessa.Connect";
inline constexpr std::string_view kFolderPageProgId = "Corvessa.OLFoldersPropPage";
inline constexpr std::string_view kEmptyPageProgId = "Quendrilax.PropPageEmpty";
// The same as the host's texts, for the page the add-in offers.
inline constexpr std::u16string_view kFolderPageProgIdText = u"Corvessa.OLFoldersPropPage";
inline constexpr std::u16string_view kEmptyPageProgIdText = u"Quendrilax.PropPageEmpty";

// Bitmap resources shown for the two page controls in control pickers.
inline constexpr int kFolderPageToolboxBitmap = 118;
inline constexpr int kEmptyPageToolboxBitmap = 122;

// The page controls' OLE miscellaneous status, registered and answered alike:
// recompose on resize, no linking inside, inside-out, activate when visible,
// client site before loading.
inline constexpr std::uint32_t kControlMiscStatus = 131473;

}  // namespace qx::addin_class
