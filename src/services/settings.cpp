#include "settings.h"

#include <utility>

namespace qyr {

QString Settings::keyPath(const QString &app, const QString &section)
{
    return settingsRoot() + QLatin1Char('\\') + app + QLatin1Char('\\') + section;
}

QString Settings::Get(const QString &app, const QString &section, const QString &key, const QString &def)
{
    const auto v = registry_.value(keyPath(app, section), key);
    return v ? v->text() : def;
}

void Settings::Save(const QString &app, const QString &section, const QString &key, const QString &value)
{
    registry_.setValue(keyPath(app, section), RegValue::fromText(key, value));
    announce({section, key, value, false});
}

void Settings::Delete(const QString &app, const QString &section, const QString &key)
{
    registry_.deleteValue(keyPath(app, section), key);
    announce({section, key, QString(), true});
}

void Settings::announce(Change c)
{
    if (depth_ > 0)
        pending_.append(std::move(c));
    else
        Changed(c.section, c.key, c.value, c.deleted);
}

void Settings::transaction(const std::function<void()> &body)
{
    if (depth_ > 0) {
        body();
        return;
    }
    ++depth_;
    try {
        registry_.transaction(body);
    } catch (...) {
        --depth_;
        pending_.clear();
        throw;
    }
    --depth_;
    const QList<Change> done = std::exchange(pending_, {});
    for (const Change &c : done)
        Changed(c.section, c.key, c.value, c.deleted);
}

} // namespace qyr
