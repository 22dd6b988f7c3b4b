#include "playersettings.h"

#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/registry.h"
#include "../player/volumescale.h"
#include "settings.h"

#include <cmath>

namespace qyr {

QString PlayerSettings::defaultText(const QString &key)
{
    static const QHash<QString, QString> defaults{{QStringLiteral("SavePos"), QStringLiteral("0")},
                                                  {QStringLiteral("StyleSheet"), QStringLiteral("1")},
                                                  {QStringLiteral("AvantiIndietro"), QStringLiteral("10")},
                                                  {QStringLiteral("Volume"), QStringLiteral("100")},
                                                  {QStringLiteral("Versione"), QStringLiteral("1")},
                                                  {QStringLiteral("AudioOff"), QStringLiteral("0")},
                                                  {QStringLiteral("Rate"), QStringLiteral("1")}};
    return defaults.value(key);
}

bool PlayerSettings::isSound(const QString &key, const QString &text)
{
    if (key == QLatin1String("SavePos")) {
        const Result<qint16> v = conv::tryInt16(text);
        return v && (*v == 0 || *v == 1);
    }
    if (key == QLatin1String("StyleSheet")) {
        const Result<qint16> v = conv::tryInt16(text);
        return v && *v >= 1;
    }
    if (key == QLatin1String("Versione"))
        return conv::tryInt16(text).ok();
    if (key == QLatin1String("AudioOff"))
        return conv::tryBool(text).ok();
    if (key == QLatin1String("AvantiIndietro"))
        return conv::isNumeric(text);
    // Either player's scale: 0 to 100, or -4000 to 0.
    if (key == QLatin1String("Volume")) {
        const Result<double> v = conv::tryDouble(text);
        return v && *v >= -4000 && *v <= 100;
    }
    // A speed of 0, below 0 or beyond the player's reach would leave every page silent.
    if (key == QLatin1String("Rate")) {
        const Result<float> v = conv::trySingle(text);
        return v && double(*v) >= kMinRate - 1e-6 && double(*v) <= kMaxRate + 1e-6;
    }
    return true;
}

QString PlayerSettings::read(const QString &key, const std::function<void()> &report)
{
    const QString def = defaultText(key);
    const QString text = stored(key, def);
    if (isSound(key, text))
        return text;
    return damaged(key, text, def, report);
}

QString PlayerSettings::volumeFor(int version, const std::function<void()> &report)
{
    const volume::Scale scale = volume::of(version);
    const QString text = stored(QStringLiteral("Volume"));
    if (text.isEmpty()) // none stored yet: the player's own
        return QString::number(scale.standard);
    const Result<double> v = conv::tryDouble(text);
    const bool sound = v && *v >= scale.min && *v <= scale.max;
    return sound ? text : damaged(QStringLiteral("Volume"), text, QString::number(scale.standard), report);
}

QString PlayerSettings::damaged(const QString &key, const QString &text, const QString &def,
                                const std::function<void()> &report)
{
    const QString seen = key + QLatin1Char('\n') + text;
    if (!reported_.contains(seen)) {
        reported_.insert(seen);
        u.er.setCurrent(
            err::InvalidPropertyValue,
            QStringLiteral("Valore non valido nelle impostazioni: \"%1\" = \"%2\". Si usa %3.").arg(key, text, def));
        if (report)
            report();
        u.er.clearCurrent();
    }
    return def;
}

QString PlayerSettings::read(const QString &key, const QString &reportAs)
{
    return read(key, [&] { u.er.ShowError(reportAs, QString()); });
}

QString PlayerSettings::stored(const QString &key, const QString &def)
{
    return u.settings.Get(programName(), QStringLiteral("Player"), key, def);
}

void PlayerSettings::save(const QString &key, const QString &value)
{
    u.settings.Save(programName(), QStringLiteral("Player"), key, value);
}

} // namespace qyr
