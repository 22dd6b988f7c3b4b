#pragma once
// The "Player" settings the program needs a sane value of, read in one place.
// Each value is checked; a damaged one (typed by hand, or brought in by an
// import) is reported once and its default is used instead, so that a bad
// value never keeps the book from opening and playing. The stored text is
// left as it is, for the reader to correct.
#include <QSet>
#include <QString>
#include <functional>

#include <utility>

namespace qyr {

class ErrorReporter;
class Settings;

class PlayerSettings {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        Settings &settings;
    };

    explicit PlayerSettings(Uses uses) : u(std::move(uses)) {}

    // The stored text as it is, and saving one.
    QString stored(const QString &key, const QString &def = QString());
    void save(const QString &key, const QString &value);

    // The stored text of key when it is sound, otherwise its default text.
    // A damaged value not reported yet is reported by calling report with the
    // current error set to it; the caller's report clears it.
    QString read(const QString &key, const std::function<void()> &report);
    // The same, reporting through the error dialog under the name given.
    QString read(const QString &key, const QString &reportAs);

    // The stored volume when the player of that version can take it;
    // otherwise (one on the other player's scale, or damaged) that player's
    // standard volume, reported as read() reports.
    QString volumeFor(int version, const std::function<void()> &report);

    // Whether text is a sound value for key (an unknown key takes anything).
    static bool isSound(const QString &key, const QString &text);
    static QString defaultText(const QString &key);

    // The reading speeds the program plays at.
    static constexpr double kMinRate = 0.5;
    static constexpr double kMaxRate = 2.0;

private:
    QString damaged(const QString &key, const QString &text, const QString &def, const std::function<void()> &report);
    Uses u;
    QSet<QString> reported_; // key and value of the damaged values already reported
};

} // namespace qyr
