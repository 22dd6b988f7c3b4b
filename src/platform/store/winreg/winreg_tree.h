#pragma once
// The Windows registry subtree under HKEY_CURRENT_USER that holds settings and
// bookmarks. Plain Win32 + C++17 so it builds with mingw-w64 without Qt.
#include <cstdint>
#include <string>
#include <vector>

namespace qyr::winreg {

struct Value {
    std::wstring name;          // empty = the key's default value
    std::uint32_t type = 1;     // REG_SZ=1, REG_EXPAND_SZ=2, REG_BINARY=3, REG_DWORD=4, REG_MULTI_SZ=7, REG_QWORD=11, any other kind kept as raw bytes
    std::vector<std::uint8_t> data;  // raw bytes exactly as the registry holds them (strings UTF-16LE with their terminating NUL(s))
};

// Every function works on a key path relative to HKEY_CURRENT_USER, e.g.
// L"Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player".
// Names compare without regard to case (the registry does that already).
// On failure they return false and put an Italian, human-readable message in
// *err (when err != nullptr) that includes the Win32 error code and the
// system's text for it. On success *err is cleared.

// False with an empty *err when the key or the value is simply absent.
// out may be null to test only for presence.
bool getValue(const std::wstring& key, const std::wstring& name, Value* out, std::wstring* err);
// Creates every missing key along the path and flushes (RegFlushKey) so the
// save is durable when it returns.
bool setValue(const std::wstring& key, const Value& v, std::wstring* err);
// An absent value or key counts as already deleted: returns true.
bool deleteValue(const std::wstring& key, const std::wstring& name, std::wstring* err);
// Recursive (RegDeleteTreeW); an absent key returns true. An empty path is
// refused, since it would wipe all of HKEY_CURRENT_USER.
bool deleteKey(const std::wstring& key, std::wstring* err);
bool keyExists(const std::wstring& key);
// Names as stored, in registry enumeration order. An absent key gives true and an empty list.
bool listSubKeys(const std::wstring& key, std::vector<std::wstring>* out, std::wstring* err);
// An absent key gives true and an empty list.
bool listValues(const std::wstring& key, std::vector<Value>* out, std::wstring* err);

}  // namespace qyr::winreg
