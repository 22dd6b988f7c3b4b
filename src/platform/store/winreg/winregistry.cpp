#include "winregistry.h"
#include "../../errors.h"
#include "winreg_tree.h"

namespace qyr {

namespace {

std::wstring w(const QString &s) { return s.toStdWString(); }
QString q(const std::wstring &s) { return QString::fromStdWString(s); }

[[noreturn]] void fail(const std::wstring &err)
{
    throw QyrError(err::SettingsStore, QStringLiteral("Registro di sistema: ") + q(err));
}

RegValue fromWin(const winreg::Value &v)
{
    return RegValue{q(v.name), v.type,
                    QByteArray(reinterpret_cast<const char *>(v.data.data()), int(v.data.size()))};
}

winreg::Value toWin(const RegValue &v)
{
    winreg::Value out;
    out.name = w(v.name);
    out.type = v.type;
    out.data.assign(v.data.begin(), v.data.end());
    return out;
}

struct Node {
    QString path;
    QList<RegValue> values;
};

} // namespace

std::optional<RegValue> WinRegistry::value(const QString &key, const QString &name)
{
    winreg::Value v;
    std::wstring err;
    if (!winreg::getValue(w(key), w(name), &v, &err)) {
        if (!err.empty())
            fail(err);
        return std::nullopt;
    }
    return fromWin(v);
}

void WinRegistry::setValue(const QString &key, const RegValue &value)
{
    std::wstring err;
    if (!winreg::setValue(w(key), toWin(value), &err))
        fail(err);
}

void WinRegistry::deleteValue(const QString &key, const QString &name)
{
    std::wstring err;
    if (!winreg::deleteValue(w(key), w(name), &err))
        fail(err);
}

void WinRegistry::deleteKey(const QString &key)
{
    std::wstring err;
    if (!winreg::deleteKey(w(key), &err))
        fail(err);
}

bool WinRegistry::keyExists(const QString &key) { return winreg::keyExists(w(key)); }

QStringList WinRegistry::subKeys(const QString &key)
{
    std::vector<std::wstring> names;
    std::wstring err;
    if (!winreg::listSubKeys(w(key), &names, &err))
        fail(err);
    QStringList out;
    for (const auto &n : names)
        out << q(n);
    return out;
}

QList<RegValue> WinRegistry::values(const QString &key)
{
    std::vector<winreg::Value> vals;
    std::wstring err;
    if (!winreg::listValues(w(key), &vals, &err))
        fail(err);
    QList<RegValue> out;
    for (const auto &v : vals)
        out << fromWin(v);
    return out;
}

void WinRegistry::transaction(const std::function<void()> &body)
{
    if (depth_ > 0) {
        body();
        return;
    }
    const QString root = programKey();
    QList<Node> saved;
    std::function<void(const QString &)> copy = [&](const QString &path) {
        saved.append(Node{path, values(path)});
        for (const QString &k : subKeys(path))
            copy(path + QLatin1Char('\\') + k);
    };
    if (keyExists(root))
        copy(root);
    ++depth_;
    try {
        body();
    } catch (...) {
        --depth_;
        deleteKey(root);
        for (const Node &n : saved) {
            for (const RegValue &v : n.values)
                setValue(n.path, v);
        }
        throw;
    }
    --depth_;
}

} // namespace qyr
