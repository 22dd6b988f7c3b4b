#pragma once
// The settings tree as the rest of the program sees it: one tree, the
// program's key, holding the reader's preferences ("Player") and the
// bookmarks and resume point of the open book only. Below it, each book's
// own keys live apart (see bookKey), so two books with the same page names
// never see each other's bookmarks, while the preferences are shared.
// Export and import go through this view too, so a file still has the
// layout of one tree and a file made on Windows imports unchanged.
#include "../platform/registry.h"

namespace qyr {

class BookView : public IRegistry {
public:
    explicit BookView(IRegistry &store);

    // Where the books' own keys are kept, outside the program's tree.
    static QString booksKey();
    // The key of one book's own keys: named after its folder, whatever the
    // form the folder was given in.
    static QString bookKey(const QString &folder);

    // Opens the book's own keys. The first book opened on settings made
    // before books were kept apart takes their bookmarks and resume point.
    void openBook(const QString &folder);
    QString book() const { return folder_; }

    // The book opened last, and recording it (not part of the program's tree,
    // so it is neither exported nor replaced by an import).
    QString lastBook();
    void setLastBook(const QString &folder);

    std::optional<RegValue> value(const QString &key, const QString &name) override;
    void setValue(const QString &key, const RegValue &value) override;
    void deleteValue(const QString &key, const QString &name) override;
    void deleteKey(const QString &key) override;
    bool keyExists(const QString &key) override;
    QStringList subKeys(const QString &key) override;
    QList<RegValue> values(const QString &key) override;
    void transaction(const std::function<void()> &body) override;

private:
    enum class Place { Outside, Root, Preferences, Book };
    struct Route {
        Place place;
        QString key; // in the store
    };
    Route route(const QString &key) const;
    static bool ownsValue(const QString &name); // a "Player" value kept per book
    void adoptOldSettings();

    IRegistry &store_;
    QString folder_;
    QString bookKey_;
};

} // namespace qyr
