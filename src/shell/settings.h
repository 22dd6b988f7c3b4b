#pragma once
// The settings functions over the registry port: get with a default, save
// and delete, always below Software\VB and VBA Program Settings\<app>\<section>.
#include "../platform/registry.h"
#include "../platform/signal.h"

namespace qyr {

class Settings {
public:
    explicit Settings(IRegistry &registry) : registry_(registry) {}

    QString Get(const QString &app, const QString &section, const QString &key, const QString &def = QString());
    void Save(const QString &app, const QString &section, const QString &key, const QString &value);
    void Delete(const QString &app, const QString &section, const QString &key);
    static QString keyPath(const QString &app, const QString &section);
    IRegistry &registry() { return registry_; }

    // Raised after every save or delete: section, key, value, deleted.
    Signal<const QString &, const QString &, const QString &, bool> Changed;

private:
    IRegistry &registry_;
};

} // namespace qyr
