#pragma once
// The settings functions over the registry port: get with a default, save
// and delete, always below Software\VB and VBA Program Settings\<app>\<section>.
#include "../platform/registry.h"
#include "../platform/signal.h"

#include <QList>

namespace qyr {

class Settings {
public:
    explicit Settings(IRegistry &registry) : registry_(registry) {}

    QString Get(const QString &app, const QString &section, const QString &key, const QString &def = QString());
    void Save(const QString &app, const QString &section, const QString &key, const QString &value);
    void Delete(const QString &app, const QString &section, const QString &key);
    static QString keyPath(const QString &app, const QString &section);
    IRegistry &registry() { return registry_; }
    // The registry's transaction; the saves and deletes inside it are
    // announced only once it has committed, and never if it fails.
    void transaction(const std::function<void()> &body);

    // Raised once a save or delete is durable: section, key, value, deleted.
    Signal<const QString &, const QString &, const QString &, bool> Changed;

private:
    struct Change {
        QString section, key, value;
        bool deleted;
    };
    void announce(Change c);
    IRegistry &registry_;
    int depth_ = 0;
    QList<Change> pending_;
};

} // namespace qyr
