#pragma once
// What the parts read of the open book: its folder, its title, its contents
// page and, for a DAISY book, its model. Books, which opens books, keeps it up
// to date; a part that only reads is given this, not the means to open another.
#include "../daisy/book.h"
#include "bookpath.h"

#include <QString>

#include <optional>

namespace qyr {

class OpenBook {
public:
    const QString &folder() const { return folder_; }
    // The open book's own title (bookTitleOf), read when the book was opened.
    const QString &title() const { return title_; }
    QString indexPage() const { return joinPath(folder_, QStringLiteral("Index.htm")); }
    // The open book when it is a DAISY book, read when it was opened; none otherwise.
    const daisy::Book *daisyBook() const { return daisy_ ? &*daisy_ : nullptr; }

protected:
    explicit OpenBook(QString folder) : folder_(std::move(folder)) {}
    ~OpenBook() = default;
    OpenBook(const OpenBook &) = delete;
    OpenBook &operator=(const OpenBook &) = delete;

    QString folder_;
    QString title_;
    std::optional<daisy::Book> daisy_;
};

} // namespace qyr
