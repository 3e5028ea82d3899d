#pragma once
// Status codes of the host platform. Every port call returns one of these (or a
// Result carrying one), and the caller tests it at once, as the add-in does with
// every COM and Win32 call. The constants keep the host's numeric values so
// that logs such as "Fehler:%08X" print what the real host would return; they
// do not use the host's macro names, which the Windows headers define.
#include <cstdint>
#include <expected>
#include <utility>

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

// Ends an operation with the failing status of a call it made, in one line:
//   const Result<std::shared_ptr<Items>> items = folder.items();
//   if (!items) return failure(items);
// A port that succeeds hands back an object, so the value needs no second
// test; the few calls that may succeed with no object say so in their port.
template <class T>
std::unexpected<Hresult> failure(const Result<T>& result) {
  return std::unexpected<Hresult>(result.error());
}

// Win32 error codes (registry, files, shell). A type of their own, so that a
// Win32 code can never be tested as an HRESULT (where 2, "file not found",
// would read as success) nor handed on as one. Logs print the number itself:
// std::to_underlying(code).
enum class WinError : std::int32_t {
  kSuccess = 0,            // ERROR_SUCCESS
  kFileNotFound = 2,       // ERROR_FILE_NOT_FOUND
  kPathNotFound = 3,       // ERROR_PATH_NOT_FOUND
  kAccessDenied = 5,       // ERROR_ACCESS_DENIED
  kInvalidHandle = 6,      // ERROR_INVALID_HANDLE
  kNotEnoughMemory = 8,    // ERROR_NOT_ENOUGH_MEMORY
  kBadFormat = 11,         // ERROR_BAD_FORMAT
  kOutOfMemory = 14,       // ERROR_OUTOFMEMORY
  kWriteFault = 29,        // ERROR_WRITE_FAULT
  kReadFault = 30,         // ERROR_READ_FAULT
  kSharingViolation = 32,  // ERROR_SHARING_VIOLATION
  kFileExists = 80,        // ERROR_FILE_EXISTS
  kInvalidParameter = 87,  // ERROR_INVALID_PARAMETER
  kDiskFull = 112,         // ERROR_DISK_FULL
  kAlreadyExists = 183,    // ERROR_ALREADY_EXISTS
  kMoreData = 234,         // ERROR_MORE_DATA
  kNoMoreItems = 259,      // ERROR_NO_MORE_ITEMS
  kKeyDeleted = 1018,      // ERROR_KEY_DELETED
};

namespace win {
inline constexpr WinError kSuccess = WinError::kSuccess;
inline constexpr WinError kFileNotFound = WinError::kFileNotFound;
inline constexpr WinError kPathNotFound = WinError::kPathNotFound;
inline constexpr WinError kAccessDenied = WinError::kAccessDenied;
inline constexpr WinError kInvalidHandle = WinError::kInvalidHandle;
inline constexpr WinError kNotEnoughMemory = WinError::kNotEnoughMemory;
inline constexpr WinError kOutOfMemory = WinError::kOutOfMemory;
inline constexpr WinError kWriteFault = WinError::kWriteFault;
inline constexpr WinError kReadFault = WinError::kReadFault;
inline constexpr WinError kSharingViolation = WinError::kSharingViolation;
inline constexpr WinError kFileExists = WinError::kFileExists;
inline constexpr WinError kInvalidParameter = WinError::kInvalidParameter;
inline constexpr WinError kDiskFull = WinError::kDiskFull;
inline constexpr WinError kAlreadyExists = WinError::kAlreadyExists;
inline constexpr WinError kMoreData = WinError::kMoreData;
inline constexpr WinError kNoMoreItems = WinError::kNoMoreItems;
inline constexpr WinError kKeyDeleted = WinError::kKeyDeleted;
inline constexpr WinError kBadFormat = WinError::kBadFormat;
}  // namespace win

// A Win32 code as the system returns it (GetLastError, a registry call's
// result), for the ports that wrap those calls.
constexpr WinError winError(std::int32_t code) { return static_cast<WinError>(code); }

// The HRESULT that carries a Win32 code (HRESULT_FROM_WIN32).
constexpr Hresult hresultFromWin32(WinError code) {
  const std::int32_t value = std::to_underlying(code);
  if (value <= 0) return value;
  return static_cast<Hresult>(0x80070000u | (static_cast<std::uint32_t>(value) & 0xFFFFu));
}

// A value or the Win32 code of the call that could not produce it.
template <class T>
using WinResult = std::expected<T, WinError>;

inline std::unexpected<WinError> failure(WinError code) { return std::unexpected<WinError>(code); }

}  // namespace qx
