#pragma once
// Status codes of the host platform. Every port call returns one of these (or a
// Result carrying one), and the caller tests it at once, as the add-in does with
// every COM and Win32 call. The constants keep the host's numeric values so
// that logs such as "Fehler:%08X" print what the real host would return; they
// do not use the host's macro names, which the Windows headers define.
#include <cstdint>
#include <expected>

namespace qx {

// COM status (HRESULT): negative means failure.
using Hresult = std::int32_t;

namespace hr {
inline constexpr Hresult kOk = 0;                                           // S_OK
inline constexpr Hresult kFalse = 1;                                        // S_FALSE
inline constexpr Hresult kNotImpl = static_cast<Hresult>(0x80004001u);      // E_NOTIMPL
inline constexpr Hresult kNoInterface = static_cast<Hresult>(0x80004002u);  // E_NOINTERFACE
inline constexpr Hresult kPointer = static_cast<Hresult>(0x80004003u);      // E_POINTER
inline constexpr Hresult kFail = static_cast<Hresult>(0x80004005u);         // E_FAIL
inline constexpr Hresult kUnexpected = static_cast<Hresult>(0x8000FFFFu);   // E_UNEXPECTED
inline constexpr Hresult kOutOfMemory = static_cast<Hresult>(0x8007000Eu);  // E_OUTOFMEMORY
inline constexpr Hresult kInvalidArg = static_cast<Hresult>(0x80070057u);   // E_INVALIDARG
inline constexpr Hresult kClassNotRegistered =
    static_cast<Hresult>(0x80040154u);  // REGDB_E_CLASSNOTREG
inline constexpr Hresult kInvalidClassString =
    static_cast<Hresult>(0x800401F3u);  // CO_E_CLASSSTRING
inline constexpr Hresult kNotFound =
    static_cast<Hresult>(0x80070002u);  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
}  // namespace hr

inline constexpr bool succeeded(Hresult status) { return status >= 0; }
inline constexpr bool failed(Hresult status) { return status < 0; }

// A value or the status of the call that could not produce it.
template <class T>
using Result = std::expected<T, Hresult>;

inline std::unexpected<Hresult> failure(Hresult status) { return std::unexpected<Hresult>(status); }

// Win32 error codes (registry, files, shell).
using WinError = std::int32_t;

namespace win {
inline constexpr WinError kSuccess = 0;            // ERROR_SUCCESS
inline constexpr WinError kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr WinError kPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
inline constexpr WinError kAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr WinError kInvalidHandle = 6;      // ERROR_INVALID_HANDLE
inline constexpr WinError kNotEnoughMemory = 8;    // ERROR_NOT_ENOUGH_MEMORY
inline constexpr WinError kOutOfMemory = 14;       // ERROR_OUTOFMEMORY
inline constexpr WinError kWriteFault = 29;        // ERROR_WRITE_FAULT
inline constexpr WinError kReadFault = 30;         // ERROR_READ_FAULT
inline constexpr WinError kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
inline constexpr WinError kFileExists = 80;        // ERROR_FILE_EXISTS
inline constexpr WinError kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr WinError kAlreadyExists = 183;    // ERROR_ALREADY_EXISTS
inline constexpr WinError kMoreData = 234;         // ERROR_MORE_DATA
inline constexpr WinError kNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS
inline constexpr WinError kKeyDeleted = 1018;      // ERROR_KEY_DELETED
inline constexpr WinError kBadFormat = 11;         // ERROR_BAD_FORMAT
}  // namespace win

}  // namespace qx
