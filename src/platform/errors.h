#pragma once
// One error type for the whole program. A failure carries a number and an
// Italian description; handlers catch it and report it through ShowError.
#include <QString>
#include <exception>

namespace qyr {

// The numbers follow the classic Basic run-time numbering where a failure of
// the same kind exists there, so readers who knew the old player recognise
// them; failures of our own components start at 3000.
namespace err {
constexpr qint32 InvalidCall = 5;
constexpr qint32 Overflow = 6;
constexpr qint32 OutOfRange = 9;
constexpr qint32 TypeMismatch = 13;
constexpr qint32 FileNotFound = 53;
constexpr qint32 PathAccess = 75;
constexpr qint32 ObjectNotSet = 91;
constexpr qint32 InvalidFileFormat = 321;
constexpr qint32 InvalidPropertyValue = 380;
constexpr qint32 CannotCreateObject = 429;
constexpr qint32 SettingsStore = 3001;
constexpr qint32 MediaHost = 3002;
constexpr qint32 Browser = 3003;
constexpr qint32 Unexpected = 3999;
} // namespace err

// The standard Italian description of a number, for the cases where the
// failure itself adds no detail.
QString errorDescription(qint32 number);

class QyrError : public std::exception {
public:
    QyrError(qint32 number, QString description);
    explicit QyrError(qint32 number);
    qint32 number() const { return number_; }
    const QString &description() const { return description_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    qint32 number_;
    QString description_;
    std::string utf8_;
};

} // namespace qyr
