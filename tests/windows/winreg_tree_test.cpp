// Exercises qyr::winreg against the real registry (Windows, or Wine) in a scratch key under HKEY_CURRENT_USER that is
// removed at the end. Where it matters, results are cross-checked with direct Win32 calls so a bug that is symmetric in
// read and write cannot hide.
#include "../../src/platform/store/winreg/winreg_tree.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wr = qyr::winreg;
using Bytes = std::vector<std::uint8_t>;

namespace {

int g_passed = 0;
int g_failed = 0;
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
    Bytes b;
    for (wchar_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c & 0xFF));
        b.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    b.insert(b.end(), {0, 0});
    return b;
}

// The low `bytes` bytes of v, little-endian; with a large count, a run of bytes with NULs among them.
Bytes le(std::uint64_t v, int bytes) {
    Bytes b;
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(i < 8 ? (v >> (8 * i)) & 0xFF : i % 7));
    return b;
}

// Independent reader: plain Win32, no code shared with the unit under test.
bool rawGet(const std::wstring& key, const std::wstring& name, DWORD* type, Bytes* data) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(h, name.c_str(), nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size + 1, 0);
        rc = RegQueryValueExW(h, name.c_str(), nullptr, type, data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

bool rawSet(const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data, DWORD size,
            DWORD options = REG_OPTION_NON_VOLATILE) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, options, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(h, name.c_str(), 0, type, data, size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

// Every kind of value, written, read back both ways, and listed.
void testValues() {
    const std::wstring key = sub(L"Tipi");
    const std::vector<wr::Value> values = {
        {L"Testo", REG_SZ, sz(L"Velocit\u00E0 pi\u00F9")},
        {L"Vuoto", REG_SZ, sz(L"")},
        {L"Percorso", REG_EXPAND_SZ, sz(L"%USERPROFILE%\\Libri parlati")},
        {L"Elenco", REG_MULTI_SZ, {'a', 0, 0, 0, 0xE8, 0, 0, 0, 0, 0}},
        {L"Volume", REG_DWORD, le(0x80FF0012u, 4)},
        {L"Blob", REG_BINARY, le(0, 300)},  // longer than the first read buffer
        {L"BlobVuoto", REG_BINARY, {}},
        {L"Posizione", REG_QWORD, le(0x0123456789ABCDEFull, 8)},
        {L"Strano", 0x7FFF0000u, le(0x1234567890, 9)},
        {L"", REG_SZ, sz(L"predefinito \u00E0")},
        // Strings without their NUL are stored exactly as given: the registry would otherwise extend them when the next
        // byte happens to be 0.
        {L"SenzaNul", REG_SZ, {'a', 0, 'b', 0}},
        {L"SenzaNul2", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0}},
        {L"Dispari", REG_EXPAND_SZ, {'a', 0, 'b'}},
    };
    for (const auto& v : values) {
        std::wstring err = L"stale";
        CHECK(wr::setValue(key, v, &err) && err.empty(), v.name + err);
        wr::Value back{L"?", 0xDEADBEEF, {}};
        err = L"stale";
        CHECK(wr::getValue(key, v.name, &back, &err) && err.empty(), v.name + err);
        CHECK(back.name == v.name && back.type == v.type && back.data == v.data, v.name);
        DWORD rawType = 0;
        Bytes rawData;
        CHECK(rawGet(key, v.name, &rawType, &rawData) && rawType == v.type && rawData == v.data, v.name);
    }
    std::vector<wr::Value> listed(2);
    std::wstring err = L"stale";
    CHECK(wr::listValues(key, &listed, &err) && err.empty() && listed.size() == values.size(), err);
    for (const auto& v : values) {
        int found = 0;
        for (const auto& l : listed) found += l.name == v.name && l.type == v.type && l.data == v.data;
        CHECK(found == 1, v.name);
    }

    // Overwriting with another type replaces both type and bytes.
    wr::Value v;
    CHECK(wr::setValue(key, {L"Volume", REG_SZ, sz(L"ora testo")}, nullptr) &&
          wr::getValue(key, L"Volume", &v, nullptr) && v.type == REG_SZ && v.data == sz(L"ora testo"));
    // What another program wrote is returned byte for byte, without an added NUL.
    const BYTE longer[] = {'x', 0, 'y', 0, 'z', 0};
    CHECK(rawSet(key, L"Altrui", REG_SZ, longer, 4));
    CHECK(wr::getValue(key, L"Altrui", &v, nullptr) && v.type == REG_SZ && v.data == Bytes(longer, longer + 4));
    CHECK(wr::getValue(key, L"Altrui", nullptr, nullptr));  // presence only
}

// Paths are created whole, listed level by level, and deleted as subtrees.
void testTree() {
    const std::wstring leaf = sub(L"Libri\\Autore \u00C8\\Titolo");
    CHECK(!wr::keyExists(sub(L"Libri")));
    std::wstring err = L"stale";
    CHECK(wr::setValue(leaf, {L"Segnalibro", REG_DWORD, le(1234, 4)}, &err) && err.empty(), err);
    std::vector<std::wstring> subs = {L"junk"};
    CHECK(wr::listSubKeys(sub(L"Libri"), &subs, &err) && err.empty() && subs == std::vector<std::wstring>{L"Autore \u00C8"});
    CHECK(wr::listSubKeys(sub(L"Libri\\Autore \u00C8"), &subs, nullptr) && subs == std::vector<std::wstring>{L"Titolo"});
    std::vector<wr::Value> values(1);
    CHECK(wr::listValues(sub(L"Libri"), &values, nullptr) && values.empty());
    CHECK(wr::listSubKeys(leaf, &subs, nullptr) && subs.empty());
    CHECK(wr::setValue(sub(L"Libri\\zeta"), {L"", REG_SZ, sz(L"z")}, nullptr));
    CHECK(wr::listSubKeys(sub(L"Libri"), &subs, nullptr) && subs.size() == 2 &&
          (subs[0] == L"zeta" || subs[1] == L"zeta"));

    // deleteValue: only the value named, and an absent one is no error.
    CHECK(wr::setValue(leaf, {L"b", REG_DWORD, le(2, 4)}, nullptr) && wr::setValue(leaf, {L"", REG_SZ, sz(L"d")}, nullptr));
    CHECK(wr::deleteValue(leaf, L"Segnalibro", &err) && err.empty(), err);
    DWORD t = 0;
    Bytes d;
    CHECK(!wr::getValue(leaf, L"Segnalibro", nullptr, nullptr) && !rawGet(leaf, L"Segnalibro", &t, &d));
    CHECK(wr::deleteValue(leaf, L"", nullptr) && !wr::getValue(leaf, L"", nullptr, nullptr) &&
          wr::getValue(leaf, L"b", nullptr, nullptr));
    CHECK(wr::deleteValue(leaf, L"Segnalibro", &err) && err.empty(), err);
    CHECK(wr::deleteValue(sub(L"NonCe\\Proprio"), L"x", &err) && err.empty(), err);

    // deleteKey: the tree with every descendant; a sibling sharing the prefix survives.
    CHECK(wr::setValue(sub(L"Libri2"), {L"v", REG_DWORD, le(2, 4)}, nullptr));
    CHECK(wr::deleteKey(sub(L"Libri"), &err) && err.empty(), err);
    CHECK(!wr::keyExists(sub(L"Libri")) && !wr::keyExists(leaf));
    CHECK(wr::getValue(sub(L"Libri2"), L"v", nullptr, nullptr) && wr::keyExists(g_root));
    CHECK(wr::deleteKey(sub(L"Libri"), &err) && err.empty(), err);
    // The empty path would be HKEY_CURRENT_USER itself.
    for (const std::wstring& bad : {std::wstring(), std::wstring(L"\\")}) {
        CHECK(!wr::deleteKey(bad, &err) &&
              err.find(L"errore " + std::to_wstring(ERROR_INVALID_PARAMETER)) != std::wstring::npos, err);
    }
    CHECK(wr::keyExists(L"Software") && wr::keyExists(g_root));
}

// Absent keys and values are false (or empty lists) without an error, and reading never creates anything.
void testAbsent() {
    const std::wstring missing = sub(L"Manca\\Del Tutto");
    CHECK(wr::setValue(sub(L"Presente"), {L"c'\u00E8", REG_DWORD, le(1, 4)}, nullptr));
    wr::Value v;
    const std::vector<std::pair<std::wstring, std::wstring>> absent = {
        {missing, L"x"}, {sub(L"Presente"), L"non c'\u00E8"}, {sub(L"Presente"), L""}};
    for (const auto& [key, name] : absent) {
        std::wstring err = L"stale";
        CHECK(!wr::getValue(key, name, &v, &err) && err.empty(), key + L"/" + name + err);
    }
    CHECK(!wr::keyExists(sub(L"Presente\\c'\u00E8")));  // a value name is not a key
    std::vector<std::wstring> subs = {L"junk"};
    std::wstring err = L"stale";
    CHECK(wr::listSubKeys(missing, &subs, &err) && subs.empty() && err.empty(), err);
    std::vector<wr::Value> values(2);
    err = L"stale";
    CHECK(wr::listValues(missing, &values, &err) && values.empty() && err.empty(), err);
    CHECK(!wr::keyExists(missing) && !wr::keyExists(sub(L"Manca")));
}

// A real Win32 failure: a volatile key cannot have a lasting child.
void testErrors() {
    const std::wstring vol = sub(L"Volatile");
    const BYTE one[] = {1, 0, 0, 0};
    CHECK(rawSet(vol, L"x", REG_DWORD, one, 4, REG_OPTION_VOLATILE));
    const std::wstring child = vol + L"\\Figlio";
    std::wstring err;
    CHECK(!wr::setValue(child, {L"x", REG_DWORD, le(1, 4)}, &err));
    CHECK(err.find(L"Impossibile") == 0, err);
    CHECK(err.find(L"errore " + std::to_wstring(ERROR_CHILD_MUST_BE_VOLATILE)) != std::wstring::npos, err);
    CHECK(err.find(L"HKEY_CURRENT_USER\\" + child) != std::wstring::npos, err);
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
    testAbsent();
    testErrors();

    std::wstring err;
    CHECK(wr::deleteKey(g_root, &err) && !wr::keyExists(g_root), err);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
