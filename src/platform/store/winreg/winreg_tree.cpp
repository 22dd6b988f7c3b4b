#include "winreg_tree.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// RegDeleteTreeW first appeared in Vista.
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>

#include <algorithm>
#include <new>

namespace qyr::winreg {
namespace {

// Registry names are at most 16383 characters; anything far beyond that
// means the registry keeps answering ERROR_MORE_DATA, so give up instead of
// growing forever.
constexpr std::size_t kMaxNameChars = 1u << 16;
// Bounds the retries when another process keeps growing a value while we read it.
constexpr int kMaxRetries = 32;

// Closes the handle on every return path.
class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() {
        if (h_) RegCloseKey(h_);
    }
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

// The system's own description of a Win32 error, in Italian when Windows has
// that language installed, else in the system's default language.
std::wstring systemText(DWORD code) {
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD langs[] = {MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN), 0};
    std::wstring text;
    for (DWORD lang : langs) {
        wchar_t* buf = nullptr;
        const DWORD n = FormatMessageW(flags, nullptr, code, lang,
                                       reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
        if (n != 0 && buf != nullptr) text.assign(buf, n);
        if (buf != nullptr) LocalFree(buf);
        if (!text.empty()) break;
    }
    // System messages end with ".\r\n"; they sit inside parentheses here.
    while (!text.empty() &&
           (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty()) text = L"descrizione non disponibile";
    return text;
}

bool fail(std::wstring* err, const std::wstring& what, DWORD code) {
    if (err != nullptr)
        *err = what + L": errore " + std::to_wstring(code) + L" (" + systemText(code) + L")";
    return false;
}

void clearErr(std::wstring* err) {
    if (err != nullptr) err->clear();
}

std::wstring keyLabel(const std::wstring& key) {
    return key.empty() ? std::wstring(L"HKEY_CURRENT_USER") : L"HKEY_CURRENT_USER\\" + key;
}

std::wstring valueLabel(const std::wstring& name) {
    return name.empty() ? std::wstring(L"(predefinito)") : L"\"" + name + L"\"";
}

bool isAbsent(LONG rc) {
    return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND;
}

// A huge value can exhaust memory; the callers promise false + message, never an exception.
template <class F>
bool guarded(std::wstring* err, const std::wstring& what, F&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return fail(err, what, ERROR_NOT_ENOUGH_MEMORY);
    }
}

DWORD clampDword(std::size_t n) {
    return n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
}

enum class Opened { Yes, Absent, Failed };

// Opens a key of the current user's tree; a failure other than absence is
// described in err.
Opened openKey(const std::wstring& key, REGSAM access, KeyHandle& k, std::wstring* err) {
    const LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, k.put());
    if (isAbsent(rc)) return Opened::Absent;
    if (rc == ERROR_SUCCESS) return Opened::Yes;
    fail(err, L"Impossibile aprire la chiave " + keyLabel(key), static_cast<DWORD>(rc));
    return Opened::Failed;
}

// The player may be killed right after a bookmark is saved or deleted;
// without a flush the change can sit in memory for seconds.
bool flushKey(HKEY k, const std::wstring& key, std::wstring* err) {
    const LONG rc = RegFlushKey(k);
    if (rc != ERROR_SUCCESS)
        return fail(err, L"Impossibile salvare su disco la chiave " + keyLabel(key), static_cast<DWORD>(rc));
    return true;
}

}  // namespace

bool getValue(const std::wstring& key, const std::wstring& name, Value* out, std::wstring* err) {
    clearErr(err);
    const std::wstring what =
        L"Impossibile leggere il valore " + valueLabel(name) + L" della chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        KeyHandle k;
        LONG rc = ERROR_SUCCESS;
        const Opened o = openKey(key, KEY_QUERY_VALUE, k, err);
        if (o != Opened::Yes) return false;

        std::vector<std::uint8_t> buf(256);
        DWORD type = 0;
        DWORD size = 0;
        for (int attempt = 0;; ++attempt) {
            size = clampDword(buf.size());
            rc = RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, buf.data(), &size);
            if (rc != ERROR_MORE_DATA) break;
            if (attempt >= kMaxRetries) return fail(err, what, static_cast<DWORD>(rc));
            // The value may grow again between calls, so ask for what was
            // reported or double, whichever is more.
            buf.resize(std::max<std::size_t>(size, buf.size() * 2));
        }
        if (isAbsent(rc)) return false;
        if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));
        buf.resize(size);
        if (out != nullptr) {
            out->name = name;
            out->type = type;
            out->data = std::move(buf);
        }
        return true;
    });
}

bool setValue(const std::wstring& key, const Value& v, std::wstring* err) {
    clearErr(err);
    const std::wstring what =
        L"Impossibile scrivere il valore " + valueLabel(v.name) + L" nella chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        if (v.data.size() > MAXDWORD) return fail(err, what, ERROR_INVALID_PARAMETER);

        KeyHandle k;
        // Creates every missing key along the path in one call.
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, k.put(), nullptr);
        if (rc != ERROR_SUCCESS)
            return fail(err, L"Impossibile creare la chiave " + keyLabel(key), static_cast<DWORD>(rc));

        // For string types the registry peeks at the character just past
        // the data and, if it is NUL, silently stores one more character.
        // That read would fall outside the vector, so give it a non-NUL
        // character to see and the bytes are stored exactly as given.
        const bool isString = v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ;
        std::vector<std::uint8_t> padded;
        const BYTE* data = v.data.data();
        if (isString || v.data.empty()) {
            padded.reserve(v.data.size() + 2);
            padded.assign(v.data.begin(), v.data.end());
            padded.push_back(0xFF);
            padded.push_back(0xFF);
            data = padded.data();  // also a valid pointer when there is no data
        }
        rc = RegSetValueExW(k.get(), v.name.c_str(), 0, v.type, data, static_cast<DWORD>(v.data.size()));
        if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));

        return flushKey(k.get(), key, err);
    });
}

bool deleteValue(const std::wstring& key, const std::wstring& name, std::wstring* err) {
    clearErr(err);
    const std::wstring what =
        L"Impossibile eliminare il valore " + valueLabel(name) + L" dalla chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        KeyHandle k;
        const Opened o = openKey(key, KEY_SET_VALUE, k, err);
        if (o != Opened::Yes) return o == Opened::Absent;
        const LONG rc = RegDeleteValueW(k.get(), name.c_str());
        if (isAbsent(rc)) return true;
        if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));
        return flushKey(k.get(), key, err);
    });
}

bool deleteKey(const std::wstring& key, std::wstring* err) {
    clearErr(err);
    const std::wstring what = L"Impossibile eliminare la chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        // An empty path (or only separators) names HKEY_CURRENT_USER itself:
        // RegDeleteTreeW would wipe every program's settings.
        if (key.find_first_not_of(L'\\') == std::wstring::npos)
            return fail(err, what + L": percorso vuoto", ERROR_INVALID_PARAMETER);
        LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        if (isAbsent(rc)) return true;
        if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));
        // Flushing any key of the hive writes the whole hive, the removal included.
        rc = RegFlushKey(HKEY_CURRENT_USER);
        if (rc != ERROR_SUCCESS)
            return fail(err, L"Impossibile salvare su disco HKEY_CURRENT_USER", static_cast<DWORD>(rc));
        return true;
    });
}

bool keyExists(const std::wstring& key) {
    HKEY h = nullptr;
    const LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h);
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(h);
        return true;
    }
    // Denied means the key is there but locked to us.
    return rc == ERROR_ACCESS_DENIED;
}

bool listSubKeys(const std::wstring& key, std::vector<std::wstring>* out, std::wstring* err) {
    clearErr(err);
    if (out != nullptr) out->clear();
    const std::wstring what = L"Impossibile elencare le sottochiavi della chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        KeyHandle k;
        LONG rc = ERROR_SUCCESS;
        const Opened o = openKey(key, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, k, err);
        if (o != Opened::Yes) return o == Opened::Absent;

        DWORD maxLen = 0;
        if (RegQueryInfoKeyW(k.get(), nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            maxLen = 0;
        std::vector<wchar_t> name(std::max<std::size_t>(std::size_t{maxLen} + 1, 256));
        std::vector<std::wstring> names;
        int retries = 0;
        for (DWORD index = 0;;) {
            DWORD len = clampDword(name.size());
            rc = RegEnumKeyExW(k.get(), index, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_MORE_DATA && name.size() < kMaxNameChars && retries++ < kMaxRetries) {
                // A longer name was added after RegQueryInfoKeyW.
                name.resize(name.size() * 2);
                continue;
            }
            if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));
            names.emplace_back(name.data(), len);
            ++index;
            retries = 0;
        }
        if (out != nullptr) out->swap(names);
        return true;
    });
}

bool listValues(const std::wstring& key, std::vector<Value>* out, std::wstring* err) {
    clearErr(err);
    if (out != nullptr) out->clear();
    const std::wstring what = L"Impossibile elencare i valori della chiave " + keyLabel(key);
    return guarded(err, what, [&]() -> bool {
        KeyHandle k;
        LONG rc = ERROR_SUCCESS;
        const Opened o = openKey(key, KEY_QUERY_VALUE, k, err);
        if (o != Opened::Yes) return o == Opened::Absent;

        DWORD maxName = 0;
        DWORD maxData = 0;
        if (RegQueryInfoKeyW(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
            maxName = maxData = 0;
        std::vector<wchar_t> name(std::max<std::size_t>(std::size_t{maxName} + 1, 256));
        std::vector<std::uint8_t> data(std::max<std::size_t>(maxData, 256));
        std::vector<Value> values;
        int retries = 0;
        for (DWORD index = 0;;) {
            DWORD nameLen = clampDword(name.size());
            DWORD dataLen = clampDword(data.size());
            DWORD type = 0;
            rc = RegEnumValueW(k.get(), index, name.data(), &nameLen, nullptr, &type, data.data(),
                               &dataLen);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_MORE_DATA && retries++ < kMaxRetries) {
                // Either buffer may be short (the key changed since
                // RegQueryInfoKeyW). A reported data size larger than the
                // buffer points at the data; otherwise grow the name first.
                if (dataLen > data.size())
                    data.resize(dataLen);
                else if (name.size() < kMaxNameChars)
                    name.resize(name.size() * 2);
                else
                    data.resize(data.size() * 2);
                continue;
            }
            if (rc != ERROR_SUCCESS) return fail(err, what, static_cast<DWORD>(rc));
            Value v;
            v.name.assign(name.data(), nameLen);
            v.type = type;
            v.data.assign(data.begin(), data.begin() + dataLen);
            values.push_back(std::move(v));
            ++index;
            retries = 0;
        }
        if (out != nullptr) out->swap(values);
        return true;
    });
}

}  // namespace qyr::winreg
