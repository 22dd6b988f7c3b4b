#pragma once
// Browser port: what the program asks of the web control. The adapter is
// the one authority over navigation: every navigation raises beforeNavigate
// exactly once (it may be cancelled) and every one that goes ahead ends in
// documentComplete.
#include "signal.h"

#include <QString>

namespace qyr {

struct PageElement {
    QString name;
    QString content; // content attribute (meta elements)
    QString href;    // resolved address of a link
    QString value;
    bool found = false;
    bool hasContent = false; // a meta element: its content counts even when empty
};

class IBrowser {
public:
    virtual ~IBrowser() = default;
    virtual void navigate(const QString &url) = 0;
    virtual QString locationURL() = 0;
    virtual QString locationName() = 0;
    virtual int readyState() = 0; // 4 = complete
    virtual QString title() = 0;
    virtual bool hasDocument() = 0;
    // Writes the body of the page on show as given; nothing in it is read as
    // an address of a file (pictures go in as data: addresses).
    virtual void setBodyHtml(const QString &html) = 0;
    virtual PageElement element(const QString &name) = 0; // from the snapshot taken at load
    virtual void setFocus() = 0;
    // Puts the keyboard at the start of the document, named by its title, so
    // that a screen reader announces the page and reads it from the top.
    virtual void focusDocument() = 0;
    // The document's style sheets, and a linked sheet inserted at index.
    virtual int styleSheetCount() = 0;
    virtual void createStyleSheet(const QString &url, int index) = 0;
    // The open book's folder: a page may read only the files below it and
    // may not take the reader elsewhere. The program's own navigations are
    // not bound by it.
    virtual void setBookFolder(const QString &folder) { (void)folder; }
    // Marks the element with this id (the phrase being read) strongly and
    // scrolls it into view, leaving the keyboard and the caret where they
    // are; kept and marked again on each page that loads, until another id
    // is given. Empty: no mark.
    virtual void highlight(const QString &elementId) = 0;
    // The id marked in the document on show, empty when it has no such element.
    virtual QString highlighted() = 0;

    Signal<const QString & /*url*/, bool & /*cancel*/> BeforeNavigate2;
    Signal<const QString & /*url*/> DocumentComplete;
    Signal<const QString & /*title*/> TitleChange;
    Signal<bool & /*cancel*/> WindowClosing;
    // A page tried to take the reader outside the book and stays where it is.
    Signal<const QString & /*url*/> NavigationRefused;
};

} // namespace qyr
