// qyr::winreg on the real registry (Windows, or Wine) in a scratch key of HKEY_CURRENT_USER, removed at the end; results
// are cross-checked with direct Win32 calls so a bug symmetric in reading and writing cannot hide.
#include "../../src/platform/store/winreg/winreg_tree.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wr = qyr::winreg;
using Bytes = std::vector<std::uint8_t>;

namespace {

int g_passed = 0, g_failed = 0;
std::wstring g_root;  // scratch key, unique per process

// Reports the failing line and expression, with the error text or key involved.
void check(bool ok, int line, const char* what, const std::wstring& detail = {}) {
    ++(ok ? g_passed : g_failed);
    if (!ok) std::printf("FAIL line %d: %s [%ls]\n", line, what, detail.c_str());
    std::fflush(stdout);
}
#define CHECK(cond, ...) check((cond), __LINE__, #cond, ##__VA_ARGS__)

std::wstring sub(const std::wstring& rel) { return g_root + L"\\" + rel; }

// UTF-16LE bytes with the terminating NUL, as the registry stores REG_SZ.
Bytes sz(const std::wstring& s) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.c_str());
    return Bytes(p, p + 2 * (s.size() + 1));
}

// The low `bytes` bytes of v, little-endian; with a large count, a run of bytes with NULs among them.
Bytes le(std::uint64_t v, int bytes) {
    Bytes b;
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(i < 8 ? (v >> (8 * i)) & 0xFF : i % 7));
    return b;
}

// Independent reader: plain Win32, no code shared with the unit under test.
bool rawGet(const std::wstring& key, const std::wstring& name, wr::Value* out) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 4096;  // more than any value here
    out->data.assign(size, 0);
    const LONG rc = RegQueryValueExW(h, name.c_str(), nullptr, &type, out->data.data(), &size);
    out->type = type;
    out->data.resize(size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

// Every kind of value, written, read back both ways, and listed.
void testValues() {
    const std::wstring key = sub(L"Tipi");
    const std::vector<wr::Value> values = {
        {L"Testo", REG_SZ, sz(L"Velocit\u00E0 pi\u00F9")},
        {L"Volume", REG_DWORD, le(0x80FF0012u, 4)},
        {L"Blob", REG_BINARY, le(0, 300)},  // longer than the first read buffer
        {L"BlobVuoto", REG_BINARY, {}},
        {L"", REG_SZ, sz(L"predefinito \u00E0")},
        // Strings without their NUL are stored exactly as given, though the registry extends them when the next byte is 0.
        {L"SenzaNul", REG_SZ, {'a', 0, 'b', 0}},
        {L"SenzaNul2", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0}},
        {L"Dispari", REG_EXPAND_SZ, {'a', 0, 'b'}},
    };
    for (const auto& v : values) {
        std::wstring err = L"stale";
        CHECK(wr::setValue(key, v, &err) && err.empty(), v.name + err);
        wr::Value back{L"?", 0xDEADBEEF, {}}, raw;
        err = L"stale";
        CHECK(wr::getValue(key, v.name, &back, &err) && err.empty() && back.name == v.name && back.type == v.type &&
              back.data == v.data, v.name + err);
        CHECK(rawGet(key, v.name, &raw) && raw.type == v.type && raw.data == v.data, v.name);
    }
    std::vector<wr::Value> listed(2);
    std::wstring err = L"stale";
    CHECK(wr::listValues(key, &listed, &err) && err.empty() && listed.size() == values.size(), err);
    for (const auto& v : values) {
        int found = 0;
        for (const auto& l : listed) found += l.name == v.name && l.type == v.type && l.data == v.data;
        CHECK(found == 1, v.name);
    }
    // What another program wrote is returned byte for byte, without an added NUL.
    const BYTE longer[] = {'x', 0, 'y', 0, 'z', 0};
    wr::Value v;
    CHECK(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Altrui", REG_SZ, longer, 4) == ERROR_SUCCESS);
    CHECK(wr::getValue(key, L"Altrui", &v, nullptr) && v.type == REG_SZ && v.data == Bytes(longer, longer + 4));
}

// Paths are created whole, listed level by level, and deleted as subtrees.
void testTree() {
    const std::wstring leaf = sub(L"Libri\\Autore \u00C8\\Titolo");
    std::wstring err = L"stale";
    CHECK(wr::setValue(leaf, {L"Segnalibro", REG_DWORD, le(1234, 4)}, &err) && err.empty(), err);
    CHECK(wr::setValue(sub(L"Libri\\zeta"), {L"", REG_SZ, sz(L"z")}, nullptr));
    std::vector<std::wstring> subs = {L"junk"};
    CHECK(wr::listSubKeys(sub(L"Libri"), &subs, &err) && err.empty() && subs.size() == 2 &&
          (subs[0] == L"zeta" || subs[1] == L"zeta") && (subs[0] == L"Autore \u00C8" || subs[1] == L"Autore \u00C8"), err);
    std::vector<wr::Value> values(1);
    CHECK(wr::listValues(sub(L"Libri"), &values, nullptr) && values.empty());

    // deleteValue: only the value named, and an absent one (or key) is no error.
    CHECK(wr::setValue(leaf, {L"b", REG_DWORD, le(2, 4)}, nullptr) && wr::setValue(leaf, {L"", REG_SZ, sz(L"d")}, nullptr));
    CHECK(wr::deleteValue(leaf, L"Segnalibro", &err) && err.empty(), err);
    wr::Value raw;
    CHECK(!wr::getValue(leaf, L"Segnalibro", nullptr, nullptr) && !rawGet(leaf, L"Segnalibro", &raw));
    CHECK(wr::deleteValue(leaf, L"", nullptr) && !wr::getValue(leaf, L"", nullptr, nullptr) &&
          wr::getValue(leaf, L"b", nullptr, nullptr));
    CHECK(wr::deleteValue(leaf, L"Segnalibro", &err) && err.empty(), err);
    CHECK(wr::deleteValue(sub(L"NonCe\\Proprio"), L"x", &err) && err.empty(), err);

    // deleteKey: the tree with every descendant; a sibling sharing the prefix survives; an absent key is no error.
    CHECK(wr::setValue(sub(L"Libri2"), {L"v", REG_DWORD, le(2, 4)}, nullptr));
    CHECK(wr::deleteKey(sub(L"Libri"), &err) && err.empty(), err);
    CHECK(!wr::keyExists(sub(L"Libri")) && !wr::keyExists(leaf) && wr::getValue(sub(L"Libri2"), L"v", nullptr, nullptr));
    CHECK(wr::deleteKey(sub(L"Libri"), &err) && err.empty(), err);
    // The empty path would be HKEY_CURRENT_USER itself.
    for (const std::wstring& bad : {std::wstring(), std::wstring(L"\\")}) {
        CHECK(!wr::deleteKey(bad, &err) &&
              err.find(L"errore " + std::to_wstring(ERROR_INVALID_PARAMETER)) != std::wstring::npos, err);
    }
    CHECK(wr::keyExists(L"Software") && wr::keyExists(g_root));

    // Absent keys and values are false (or empty lists) without an error, and reading never creates anything.
    const std::wstring missing = sub(L"Manca\\Del Tutto");
    for (const auto& [key, name] : {std::pair{missing, L"x"}, {sub(L"Libri2"), L"non c'\u00E8"}}) {
        err = L"stale";
        CHECK(!wr::getValue(key, name, &raw, &err) && err.empty(), key + L"/" + name + err);
    }
    subs = {L"junk"};
    err = L"stale";
    CHECK(wr::listSubKeys(missing, &subs, &err) && subs.empty() && err.empty(), err);
    values.resize(2);
    err = L"stale";
    CHECK(wr::listValues(missing, &values, &err) && values.empty() && err.empty(), err);
    CHECK(!wr::keyExists(missing) && !wr::keyExists(sub(L"Manca")));
}

// A real Win32 failure: a volatile key cannot have a lasting child.
void testErrors() {
    const std::wstring vol = sub(L"Volatile");
    HKEY h = nullptr;
    CHECK(RegCreateKeyExW(HKEY_CURRENT_USER, vol.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_READ, nullptr, &h,
                          nullptr) == ERROR_SUCCESS);
    RegCloseKey(h);
    std::wstring err;
    CHECK(!wr::setValue(vol + L"\\Figlio", {L"x", REG_DWORD, le(1, 4)}, &err));
    CHECK(err.find(L"Impossibile") == 0 && err.find(L"HKEY_CURRENT_USER\\" + vol + L"\\Figlio") != std::wstring::npos &&
          err.find(L"errore " + std::to_wstring(ERROR_CHILD_MUST_BE_VOLATILE)) != std::wstring::npos, err);
    // The system's text in parentheses, on one line.
    const std::size_t open = err.rfind(L'(');
    CHECK(open != std::wstring::npos && err.back() == L')' && err.size() > open + 2 &&
          err.find_first_of(L"\r\n") == std::wstring::npos, err);
    // The next success must not leave the old message behind.
    CHECK(wr::setValue(sub(L"DopoErrore"), {L"x", REG_DWORD, le(1, 4)}, &err) && err.empty(), err);
}

}  // namespace

int main() {
    g_root = L"Software\\qyrplayer-test-" + std::to_wstring(GetCurrentProcessId());
    wr::deleteKey(g_root, nullptr);  // a previous run with the same pid may have crashed

    testValues();
    testTree();
    testErrors();

    std::wstring err;
    CHECK(wr::deleteKey(g_root, &err) && !wr::keyExists(g_root), err);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
