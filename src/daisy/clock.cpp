#include "clock.h"

#include <QList>
#include <QString>
#include <cmath>

namespace qyr::daisy {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Digits with an optional fraction ("12", "12.345", ".5"); false on anything else.
bool number(QStringView s, double &out)
{
    if (s.isEmpty())
        return false;
    double whole = 0, scale = 0.1, frac = 0;
    bool seenDot = false, seenDigit = false;
    for (QChar c : s) {
        if (c == QLatin1Char('.') && !seenDot) {
            seenDot = true;
        } else if (isDigit(c)) {
            seenDigit = true;
            const int d = c.unicode() - '0';
            if (seenDot) {
                frac += d * scale;
                scale /= 10;
            } else {
                whole = whole * 10 + d;
            }
        } else {
            return false;
        }
    }
    out = whole + frac;
    return seenDigit && std::isfinite(out);
}

// Whole digits only, as the hour, minute and second fields of a clock are.
bool digits(QStringView s, double &out) { return !s.contains(QLatin1Char('.')) && number(s, out); }

// "hh:mm:ss.f" or "mm:ss.f"; seconds below 60, and minutes too after an hour field.
std::optional<double> clockForm(QStringView s)
{
    const qsizetype first = s.indexOf(QLatin1Char(':'));
    const qsizetype second = s.indexOf(QLatin1Char(':'), first + 1);
    double h = 0, m = 0, sec = 0;
    if (second < 0) {
        if (!digits(s.left(first), m) || !number(s.mid(first + 1), sec))
            return std::nullopt;
    } else {
        if (s.indexOf(QLatin1Char(':'), second + 1) >= 0 || !digits(s.left(first), h) ||
            !digits(s.mid(first + 1, second - first - 1), m) || !number(s.mid(second + 1), sec) || m >= 60)
            return std::nullopt;
    }
    if (sec >= 60)
        return std::nullopt;
    return h * 3600 + m * 60 + sec;
}

// "hh:mm:ss:ff(.ff)" at the given frames per second.
std::optional<double> smpte(QStringView s, double fps)
{
    double h = 0, m = 0, sec = 0, frames = 0;
    const auto parts = s.split(QLatin1Char(':'));
    if (parts.size() != 3 && parts.size() != 4)
        return std::nullopt;
    if (!digits(parts[0], h) || !digits(parts[1], m) || !digits(parts[2], sec))
        return std::nullopt;
    if (parts.size() == 4 && !number(parts[3], frames))
        return std::nullopt;
    if (m >= 60 || sec >= 60 || frames >= fps)
        return std::nullopt;
    return h * 3600 + m * 60 + sec + frames / fps;
}

} // namespace

namespace {

// No real book lasts longer: a time past it is a damaged value (1e306 hours
// would make every time said and every move nonsense).
constexpr double kLongestBook = 10000.0 * 3600;

std::optional<double> parseAny(QStringView text)
{
    QStringView s = text.trimmed();
    if (s.startsWith(QLatin1String("npt="), Qt::CaseInsensitive))
        s = s.mid(4).trimmed();
    else if (s.startsWith(QLatin1String("smpte-30-drop="), Qt::CaseInsensitive))
        return smpte(s.mid(14), 29.97);
    else if (s.startsWith(QLatin1String("smpte-25="), Qt::CaseInsensitive))
        return smpte(s.mid(9), 25);
    else if (s.startsWith(QLatin1String("smpte="), Qt::CaseInsensitive))
        return smpte(s.mid(6), 30);
    if (s.contains(QLatin1Char(':')))
        return clockForm(s);
    // A count with its unit, seconds when none is written.
    static const struct {
        const char *unit;
        double seconds;
    } units[] = {{"ms", 0.001}, {"min", 60}, {"h", 3600}, {"s", 1}};
    double scale = 1;
    for (const auto &u : units) {
        if (s.endsWith(QLatin1String(u.unit), Qt::CaseInsensitive)) {
            s.chop(qsizetype(qstrlen(u.unit)));
            scale = u.seconds;
            break;
        }
    }
    double value = 0;
    if (!number(s, value))
        return std::nullopt;
    return value * scale;
}

} // namespace

std::optional<double> parseClock(QStringView text)
{
    const std::optional<double> seconds = parseAny(text);
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > kLongestBook)
        return std::nullopt;
    return seconds;
}

} // namespace qyr::daisy
