#include "settings.h"

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
    Changed(section, key, value, false);
}

void Settings::Delete(const QString &app, const QString &section, const QString &key)
{
    registry_.deleteValue(keyPath(app, section), key);
    Changed(section, key, QString(), true);
}

} // namespace qyr
