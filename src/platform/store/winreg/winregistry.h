#pragma once
// The registry port on the real Windows registry: a thin wrapper that joins
// the Win32 code in winreg_tree to the program's types.
#include "../../registry.h"

namespace qyr {

class WinRegistry : public IRegistry {
public:
    std::optional<RegValue> value(const QString &key, const QString &name) override;
    void setValue(const QString &key, const RegValue &value) override;
    void deleteValue(const QString &key, const QString &name) override;
    void deleteKey(const QString &key) override;
    bool keyExists(const QString &key) override;
    QStringList subKeys(const QString &key) override;
    QList<RegValue> values(const QString &key) override;
    // The registry has no transactions we can rely on: the program's tree is
    // copied first and put back as it was when the body fails.
    void transaction(const std::function<void()> &body) override;

private:
    int depth_ = 0;
};

} // namespace qyr
