// Exercises qyr::winreg against the real registry (Windows, or Wine) in a
// scratch key under HKEY_CURRENT_USER that is removed at the end.
// Where it matters, results are cross-checked with direct Win32 calls so a
// bug that is symmetric in read and write cannot hide.
#include "../../src/platform/store/winreg/winreg_tree.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

namespace wr = qyr::winreg;
using Bytes = std::vector<std::uint8_t>;

namespace {

int g_passed = 0;
int g_failed = 0;
std::wstring g_root;  // scratch key, unique per process

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// Long names would flood the log; the start is enough to tell which one failed.
std::string shortUtf8(const std::wstring& w) {
    return w.size() > 60 ? utf8(w.substr(0, 60)) + "...(" + std::to_string(w.size()) + " chars)"
                         : utf8(w);
}

void check(bool ok, const std::string& group, const std::string& what, const std::wstring& detail = {}) {
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL %s: %s", group.c_str(), what.c_str());
    if (!detail.empty()) std::printf(" [%s]", shortUtf8(detail).c_str());
    std::printf("\n");
    std::fflush(stdout);
}

std::wstring sub(const std::wstring& rel) { return g_root + L"\\" + rel; }

// UTF-16LE bytes with the terminating NUL, as the registry stores REG_SZ.
Bytes sz(const std::wstring& s) {
    Bytes b;
    for (wchar_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c & 0xFF));
        b.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

Bytes multiSz(const std::vector<std::wstring>& items) {
    Bytes b;
    for (const auto& s : items) {
        Bytes one = sz(s);
        b.insert(b.end(), one.begin(), one.end());
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

Bytes littleEndian(std::uint64_t v, int bytes) {
    Bytes b;
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    return b;
}

Bytes pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 31u + seed) & 0xFF);
    return b;
}

// Independent reader: plain Win32, no code shared with the unit under test.
bool rawGet(const std::wstring& key, const std::wstring& name, DWORD* type, Bytes* data) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(h, name.c_str(), nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size, 0);
        rc = RegQueryValueExW(h, name.c_str(), nullptr, type, data->empty() ? nullptr : data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

bool rawSet(const std::wstring& key, const std::wstring& name, DWORD type, const Bytes& data,
            DWORD options = REG_OPTION_NON_VOLATILE) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, options, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    static const BYTE nothing = 0;
    const LONG rc = RegSetValueExW(h, name.c_str(), 0, type, data.empty() ? &nothing : data.data(),
                                   static_cast<DWORD>(data.size()));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

const wr::Value* findValue(const std::vector<wr::Value>& values, const std::wstring& name) {
    for (const auto& v : values)
        if (v.name == name) return &v;
    return nullptr;
}

// Writes v with setValue, then reads it back both through getValue and raw Win32.
void roundTrip(const std::string& group, const std::wstring& key, const wr::Value& v, const std::string& label) {
    std::wstring err = L"stale";
    const bool saved = wr::setValue(key, v, &err);
    check(saved && err.empty(), group, label + ": setValue succeeds with empty err", err);

    wr::Value back;
    back.type = 0xDEADBEEF;
    err = L"stale";
    const bool got = wr::getValue(key, v.name, &back, &err);
    check(got && err.empty(), group, label + ": getValue finds it", err);
    check(back.type == v.type, group, label + ": getValue type matches");
    check(back.data == v.data, group, label + ": getValue bytes match exactly");
    check(back.name == v.name, group, label + ": getValue reports the name");

    DWORD rawType = 0;
    Bytes rawData;
    const bool rawOk = rawGet(key, v.name, &rawType, &rawData);
    check(rawOk && rawType == v.type && rawData == v.data, group,
          label + ": registry really holds the type and bytes written");
}

void testRoundTripEveryType() {
    const std::string g = "round-trip";
    const std::wstring key = sub(L"Tipi");
    struct Case {
        const char* label;
        wr::Value v;
    };
    const std::vector<Case> cases = {
        {"REG_SZ accented", {L"Testo", REG_SZ, sz(L"Velocit\u00E0 pi\u00F9")}},
        {"REG_SZ empty string", {L"Vuoto", REG_SZ, sz(L"")}},
        {"REG_EXPAND_SZ", {L"Percorso", REG_EXPAND_SZ, sz(L"%USERPROFILE%\\Libri parlati")}},
        {"REG_MULTI_SZ", {L"Elenco", REG_MULTI_SZ, multiSz({L"primo", L"secondo \u00E8", L"terzo"})}},
        {"REG_DWORD", {L"Volume", REG_DWORD, littleEndian(0x80FF0012u, 4)}},
        {"REG_BINARY with NULs", {L"Blob", REG_BINARY, pattern(300, 0)}},
        {"REG_BINARY empty", {L"BlobVuoto", REG_BINARY, {}}},
        {"REG_QWORD", {L"Posizione", REG_QWORD, littleEndian(0x0123456789ABCDEFull, 8)}},
        {"odd type 0x100", {L"Strano", 0x100, {0xDE, 0xAD, 0x00, 0xBE}}},
        {"hex(b)-style odd type 0x7fff0000", {L"Strano2", 0x7FFF0000u, pattern(9, 5)}},
        {"REG_NONE", {L"Niente", REG_NONE, {}}},
        {"default value", {L"", REG_SZ, sz(L"predefinito \u00E0")}},
    };
    for (const auto& c : cases) roundTrip(g, key, c.v, c.label);

    // Each name must hold its own value, not the last one written.
    std::vector<wr::Value> listed;
    std::wstring err;
    check(wr::listValues(key, &listed, &err) && listed.size() == cases.size(), g,
          "every value is kept separately", err);
    for (const auto& c : cases) {
        const wr::Value* found = findValue(listed, c.v.name);
        check(found != nullptr && found->type == c.v.type && found->data == c.v.data, g,
              std::string("listValues returns ") + c.label + " unchanged");
    }

    // Overwriting with another type replaces both type and bytes.
    roundTrip(g, key, {L"Volume", REG_SZ, sz(L"ora \u00E8 testo")}, "type change on overwrite");

    // Strings without their NUL are stored and read exactly as given: the
    // registry would otherwise extend them when the next byte happens to be 0.
    roundTrip(g, key, {L"SenzaNul", REG_SZ, {'a', 0, 'b', 0}}, "unterminated REG_SZ");
    roundTrip(g, key, {L"SenzaNul2", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0}}, "unterminated REG_MULTI_SZ");
    roundTrip(g, key, {L"Dispari", REG_EXPAND_SZ, {'a', 0, 'b'}}, "odd-length REG_EXPAND_SZ");

    // What another program wrote is returned byte for byte, without an added NUL
    // (the buffer goes on past the stored length so the registry cannot extend it).
    const BYTE longer[] = {'x', 0, 'y', 0, 'z', 0};
    HKEY h = nullptr;
    const bool rawOk = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS &&
                       RegSetValueExW(h, L"Altrui", 0, REG_SZ, longer, 4) == ERROR_SUCCESS;
    if (h != nullptr) RegCloseKey(h);
    check(rawOk, g, "raw write of unterminated REG_SZ");
    wr::Value v;
    check(wr::getValue(key, L"Altrui", &v, nullptr) && v.type == REG_SZ && v.data == Bytes(longer, longer + 4), g,
          "unterminated REG_SZ from another program read back unchanged");
    check(rawSet(key, L"Grezzo", REG_QWORD, littleEndian(42, 8)), g, "raw write of REG_QWORD");
    check(wr::getValue(key, L"Grezzo", &v, nullptr) && v.type == REG_QWORD && v.data == littleEndian(42, 8),
          g, "REG_QWORD written by another program is read");
    check(wr::getValue(key, L"Grezzo", nullptr, nullptr), g, "getValue with null out reports presence");
}

void testCaseInsensitive() {
    const std::string g = "case";
    const std::wstring key = sub(L"Player");
    check(wr::setValue(key, {L"Volume", REG_DWORD, littleEndian(7, 4)}, nullptr), g, "setup write");

    std::wstring upperKey = key;
    std::transform(upperKey.begin(), upperKey.end(), upperKey.begin(), ::towupper);
    std::wstring lowerKey = key;
    std::transform(lowerKey.begin(), lowerKey.end(), lowerKey.begin(), ::towlower);

    wr::Value v;
    check(wr::getValue(upperKey, L"VOLUME", &v, nullptr) && v.data == littleEndian(7, 4), g,
          "upper-case key and name find the value");
    check(wr::keyExists(lowerKey), g, "keyExists ignores case");

    // Writing under another spelling updates the same value, not a twin.
    check(wr::setValue(lowerKey, {L"volume", REG_DWORD, littleEndian(9, 4)}, nullptr), g, "write with other case");
    std::vector<wr::Value> values;
    check(wr::listValues(key, &values, nullptr) && values.size() == 1, g, "no duplicate value created");
    check(values.size() == 1 && values[0].name == L"Volume" && values[0].data == littleEndian(9, 4), g,
          "stored name keeps its first spelling and the new data");
    std::vector<std::wstring> subs;
    check(wr::listSubKeys(g_root, &subs, nullptr) &&
              std::count_if(subs.begin(), subs.end(),
                            [](const std::wstring& s) { return _wcsicmp(s.c_str(), L"player") == 0; }) == 1,
          g, "no duplicate key created");

    check(wr::deleteValue(upperKey, L"VoLuMe", nullptr), g, "delete with other case succeeds");
    check(!wr::getValue(key, L"Volume", nullptr, nullptr), g, "delete with other case really removed it");
}

void testNestedKeys() {
    const std::string g = "nested";
    const std::wstring rel = L"Libri\\Autore \u00C8\\Titolo\\Capitolo 1";
    const std::wstring key = sub(rel);
    check(!wr::keyExists(sub(L"Libri")), g, "first level absent before the write");
    std::wstring err;
    check(wr::setValue(key, {L"Segnalibro", REG_DWORD, littleEndian(1234, 4)}, &err), g,
          "write creates the whole path", err);

    // Every prefix ending at a backslash must now be a real key with exactly one child.
    std::vector<std::wstring> parts;
    for (std::size_t start = 0;;) {
        const std::size_t bs = rel.find(L'\\', start);
        parts.push_back(rel.substr(start, bs == std::wstring::npos ? std::wstring::npos : bs - start));
        if (bs == std::wstring::npos) break;
        start = bs + 1;
    }
    std::wstring path = g_root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        path += L"\\" + parts[i];
        check(wr::keyExists(path), g, "intermediate key exists", path);
        std::vector<std::wstring> subs;
        wr::listSubKeys(path, &subs, nullptr);
        if (i + 1 < parts.size())
            check(subs.size() == 1 && subs[0] == parts[i + 1], g, "intermediate key has the next level only", path);
        else
            check(subs.empty(), g, "leaf has no subkeys", path);
        std::vector<wr::Value> values;
        wr::listValues(path, &values, nullptr);
        check(values.size() == (i + 1 == parts.size() ? 1u : 0u), g, "only the leaf holds the value", path);
    }

    // Deep chain: many levels in one call.
    std::wstring deep = sub(L"Profondo");
    for (int i = 0; i < 40; ++i) deep += L"\\L" + std::to_wstring(i);
    check(wr::setValue(deep, {L"x", REG_DWORD, littleEndian(1, 4)}, &err) && wr::keyExists(deep), g,
          "40-level path created in one write", err);
}

void testListing() {
    const std::string g = "listing";
    const std::wstring parent = sub(L"Elenco");
    const std::vector<std::wstring> names = {L"Zeta", L"alfa", L"Mezzo Camel", L"Citt\u00E0", L"123"};
    for (const auto& n : names)
        check(wr::setValue(parent + L"\\" + n, {L"", REG_SZ, sz(n)}, nullptr), g, "create subkey", n);

    std::vector<std::wstring> subs = {L"junk"};
    std::wstring err = L"stale";
    check(wr::listSubKeys(parent, &subs, &err) && err.empty(), g, "listSubKeys succeeds", err);
    check(std::set<std::wstring>(subs.begin(), subs.end()) ==
              std::set<std::wstring>(names.begin(), names.end()) &&
              subs.size() == names.size(),
          g, "subkey names as stored, exact case, no extras");

    // Values of every kind in one key, including the default value.
    const std::wstring vkey = sub(L"Valori");
    const std::vector<wr::Value> values = {
        {L"", REG_SZ, sz(L"predefinito")},
        {L"Nome Misto", REG_EXPAND_SZ, sz(L"%TEMP%")},
        {L"dword", REG_DWORD, littleEndian(0xFFFFFFFFu, 4)},
        {L"QWORD", REG_QWORD, littleEndian(0xFFFFFFFFFFFFFFFFull, 8)},
        {L"multi", REG_MULTI_SZ, multiSz({L"a", L"b"})},
        {L"bin", REG_BINARY, pattern(1000, 3)},
        {L"vuoto", REG_BINARY, {}},
        {L"tipo strano", 0x1234, pattern(17, 9)},
    };
    for (const auto& v : values) check(wr::setValue(vkey, v, nullptr), g, "write value", v.name);
    std::vector<wr::Value> listed(3);
    err = L"stale";
    check(wr::listValues(vkey, &listed, &err) && err.empty(), g, "listValues succeeds", err);
    check(listed.size() == values.size(), g, "listValues returns every value once");
    for (const auto& v : values) {
        const wr::Value* f = findValue(listed, v.name);
        check(f != nullptr, g, "value listed with exact name", v.name.empty() ? L"(default)" : v.name);
        if (f != nullptr)
            check(f->type == v.type && f->data == v.data, g, "listed type and bytes match", v.name);
    }

    // A key with neither subkeys nor values.
    const std::wstring empty = sub(L"Vuota");
    check(wr::setValue(empty, {L"t", REG_DWORD, littleEndian(0, 4)}, nullptr) &&
              wr::deleteValue(empty, L"t", nullptr),
          g, "make an empty key");
    subs = {L"junk"};
    listed.assign(2, wr::Value{});
    check(wr::listSubKeys(empty, &subs, nullptr) && subs.empty(), g, "empty key: no subkeys");
    check(wr::listValues(empty, &listed, nullptr) && listed.empty(), g, "empty key: no values");
}

void testDeletion() {
    const std::string g = "delete";
    const std::wstring key = sub(L"Cancella");
    check(wr::setValue(key, {L"a", REG_DWORD, littleEndian(1, 4)}, nullptr) &&
              wr::setValue(key, {L"b", REG_DWORD, littleEndian(2, 4)}, nullptr),
          g, "setup values");
    std::wstring err = L"stale";
    check(wr::deleteValue(key, L"a", &err) && err.empty(), g, "deleteValue succeeds", err);
    check(!wr::getValue(key, L"a", nullptr, nullptr), g, "deleted value is gone");
    DWORD t = 0;
    Bytes d;
    check(!rawGet(key, L"a", &t, &d), g, "deleted value is gone from the registry");
    check(wr::getValue(key, L"b", nullptr, nullptr), g, "sibling value survives");
    err = L"stale";
    check(wr::deleteValue(key, L"a", &err) && err.empty(), g, "deleting it again is not an error", err);
    check(wr::deleteValue(sub(L"NonCe\\Proprio"), L"x", &err) && err.empty(), g,
          "deleting a value of an absent key is not an error", err);
    check(wr::setValue(key, {L"", REG_SZ, sz(L"d")}, nullptr) && wr::deleteValue(key, L"", nullptr) &&
              !wr::getValue(key, L"", nullptr, nullptr) && wr::getValue(key, L"b", nullptr, nullptr),
          g, "default value deleted alone");

    // A whole tree with values at several depths; siblings sharing a prefix must survive.
    const std::wstring tree = sub(L"Libro");
    const std::wstring twin = sub(L"Libro2");
    check(wr::setValue(tree, {L"v", REG_DWORD, littleEndian(1, 4)}, nullptr) &&
              wr::setValue(tree + L"\\Cap1\\Par", {L"v", REG_SZ, sz(L"x")}, nullptr) &&
              wr::setValue(tree + L"\\Cap2", {L"", REG_BINARY, pattern(50, 1)}, nullptr) &&
              wr::setValue(twin, {L"v", REG_DWORD, littleEndian(2, 4)}, nullptr),
          g, "setup tree");
    err = L"stale";
    check(wr::deleteKey(tree, &err) && err.empty(), g, "deleteKey succeeds on a tree", err);
    check(!wr::keyExists(tree) && !wr::keyExists(tree + L"\\Cap1\\Par"), g, "tree and descendants are gone");
    check(wr::keyExists(twin) && wr::getValue(twin, L"v", nullptr, nullptr), g, "sibling with shared prefix survives");
    check(wr::keyExists(g_root), g, "parent survives");
    err = L"stale";
    check(wr::deleteKey(tree, &err) && err.empty(), g, "deleting an absent key is not an error", err);

    // The empty path would be HKEY_CURRENT_USER itself.
    for (const std::wstring& bad : {std::wstring(), std::wstring(L"\\")}) {
        err.clear();
        const bool ok = wr::deleteKey(bad, &err);
        check(!ok && !err.empty(), g, "deleteKey refuses the root", bad);
        check(err.find(L"errore " + std::to_wstring(ERROR_INVALID_PARAMETER)) != std::wstring::npos, g,
              "refusal carries the Win32 code", err);
    }
    check(wr::keyExists(L"Software") && wr::keyExists(g_root), g, "HKEY_CURRENT_USER left intact");
}

void testAbsent() {
    const std::string g = "absent";
    const std::wstring missing = sub(L"Manca\\Del Tutto");
    wr::Value v;
    std::wstring err = L"stale";
    check(!wr::getValue(missing, L"x", &v, &err) && err.empty(), g, "absent key: false with empty err", err);
    check(wr::setValue(sub(L"Presente"), {L"c'\u00E8", REG_DWORD, littleEndian(1, 4)}, nullptr), g, "setup");
    err = L"stale";
    check(!wr::getValue(sub(L"Presente"), L"non c'\u00E8", &v, &err) && err.empty(), g,
          "absent value: false with empty err", err);
    err = L"stale";
    check(!wr::getValue(sub(L"Presente"), L"", &v, &err) && err.empty(), g,
          "unset default value: false with empty err", err);
    check(!wr::keyExists(missing) && !wr::keyExists(sub(L"Manca")), g, "keyExists false for absent keys");
    check(!wr::keyExists(sub(L"Presente\\c'\u00E8")), g, "a value name is not a key");

    std::vector<std::wstring> subs = {L"junk"};
    err = L"stale";
    check(wr::listSubKeys(missing, &subs, &err) && subs.empty() && err.empty(), g,
          "listSubKeys of absent key: true, empty", err);
    std::vector<wr::Value> values(2);
    err = L"stale";
    check(wr::listValues(missing, &values, &err) && values.empty() && err.empty(), g,
          "listValues of absent key: true, empty", err);
    check(!wr::keyExists(missing), g, "reading never creates the key");
}

void testLongData() {
    const std::string g = "long data";
    const std::wstring key = sub(L"Lungo");
    roundTrip(g, key, {L"binario", REG_BINARY, pattern(100 * 1024, 11)}, "100 KB REG_BINARY");
    std::vector<wr::Value> values;
    std::wstring err;
    check(wr::listValues(key, &values, &err) && values.size() == 1 && values[0].data == pattern(100 * 1024, 11), g,
          "listed 100 KB value intact", err);

    // Growing a value that was read before must not reuse a stale size.
    roundTrip(g, key, {L"cresce", REG_BINARY, pattern(10, 1)}, "small then large: small");
    roundTrip(g, key, {L"cresce", REG_BINARY, pattern(200 * 1024, 2)}, "small then large: large");
}

void testErrors() {
    const std::string g = "errors";
    // A volatile key cannot have a lasting child: a real Win32 failure on any system.
    const std::wstring vol = sub(L"Volatile");
    check(rawSet(vol, L"x", REG_DWORD, littleEndian(1, 4), REG_OPTION_VOLATILE), g, "setup volatile key");
    const std::wstring child = vol + L"\\Figlio";
    std::wstring err;
    const bool ok = wr::setValue(child, {L"x", REG_DWORD, littleEndian(1, 4)}, &err);
    check(!ok, g, "setValue under a volatile key fails");
    check(err.find(L"errore " + std::to_wstring(ERROR_CHILD_MUST_BE_VOLATILE)) != std::wstring::npos, g,
          "message has the Win32 code", err);
    check(err.find(L"HKEY_CURRENT_USER\\" + child) != std::wstring::npos, g, "message names the key", err);
    check(err.find(L"Impossibile") == 0, g, "message is in Italian", err);
    const std::size_t open = err.rfind(L'(');
    check(open != std::wstring::npos && err.back() == L')' && err.size() > open + 2 &&
              err.find_first_of(L"\r\n") == std::wstring::npos,
          g, "system text in parentheses, on one line", err);

    // The next success must not leave the old message behind.
    check(wr::setValue(sub(L"DopoErrore"), {L"x", REG_DWORD, littleEndian(1, 4)}, &err) && err.empty(), g,
          "err cleared on success", err);
}

}  // namespace

int main() {
    g_root = L"Software\\qyrplayer-test-" + std::to_wstring(GetCurrentProcessId());
    wr::deleteKey(g_root, nullptr);  // a previous run with the same pid may have crashed

    testRoundTripEveryType();
    testCaseInsensitive();
    testNestedKeys();
    testListing();
    testDeletion();
    testAbsent();
    testLongData();
    testErrors();

    std::wstring err;
    check(wr::deleteKey(g_root, &err) && !wr::keyExists(g_root), "cleanup", "scratch key removed", err);

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
