#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QHash>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextBoundaryFinder>
#include <QTimer>
#ifdef Q_OS_WIN
#include <uiautomation.h>
#include <windows.h>
#endif

namespace qyr {

namespace {

class MessageAccessible : public QAccessibleWidget {
public:
    explicit MessageAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

// One entry of a drop-down list, named by its text.
class ComboItemAccessible : public QAccessibleInterface {
public:
    ComboItemAccessible(QComboBox *box, int row) : box_(box), row_(row) {}
    bool isValid() const override { return box_ && row_ < box_->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return box_ ? box_->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(box_.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        return isValid() && (t == QAccessible::Name || t == QAccessible::Value) ? box_->itemText(row_) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override { return box_ ? QRect(box_->mapToGlobal(QPoint(0, 0)), box_->size()) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        const bool current = box_->currentIndex() == row_;
        st.selectable = st.focusable = true;
        st.selected = current;
        st.focused = current && box_->hasFocus();
        st.invisible = !box_->isVisible();
        return st;
    }

private:
    QPointer<QComboBox> box_;
    int row_;
};

class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::ComboBox) {}
    ~NamedComboAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(items_))
            QAccessible::deleteAccessibleInterface(id);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && !box()->accessibleName().isEmpty())
            return box()->accessibleName();
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return box()->count(); }
    QAccessibleInterface *child(int i) const override
    {
        if (i < 0 || i >= box()->count())
            return nullptr;
        // Made once per row and kept: a screen reader knows an object by its id.
        QAccessible::Id id = items_.value(i);
        if (!id) {
            id = QAccessible::registerAccessibleInterface(new ComboItemAccessible(box(), i));
            items_.insert(i, id);
        }
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *c) const override
    {
        for (auto it = items_.cbegin(); it != items_.cend(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == c)
                return it.key();
        return -1;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
    mutable QHash<int, QAccessible::Id> items_;
};

} // namespace

// Qt's own interface of a line edit gives each character a text-attribute
// run of its own that ends where it starts (offset to offset); Orca joins the
// runs into one that stops a character short and reads "100" as "10". Asked
// for a word at the end of the text, it never answers. This one reports one
// run for the whole text and finds boundaries itself; the rest is what Qt's
// does.
LineEditAccessible::LineEditAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::EditableText)
{
    addControllingSignal(QStringLiteral("returnPressed()"));
}

QLineEdit *LineEditAccessible::lineEdit() const { return static_cast<QLineEdit *>(widget()); }

bool LineEditAccessible::shown() const { return lineEdit()->echoMode() == QLineEdit::Normal; }

void *LineEditAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString LineEditAccessible::text(QAccessible::Text t) const
{
    QString s;
    if (t == QAccessible::Value) {
        if (shown())
            s = lineEdit()->text();
        else if (lineEdit()->echoMode() != QLineEdit::NoEcho)
            s = QString(lineEdit()->text().size(), QLatin1Char('*'));
    }
    if (s.isEmpty())
        s = QAccessibleWidget::text(t);
    if (s.isEmpty() && t == QAccessible::Description)
        s = lineEdit()->placeholderText();
    return s;
}

void LineEditAccessible::setText(QAccessible::Text t, const QString &text)
{
    if (t != QAccessible::Value) {
        QAccessibleWidget::setText(t, text);
        return;
    }
    QString fixed = text;
    if (const QValidator *v = lineEdit()->validator())
        v->fixup(fixed);
    lineEdit()->setText(fixed);
}

QAccessible::State LineEditAccessible::state() const
{
    QAccessible::State st = QAccessibleWidget::state();
    if (lineEdit()->isReadOnly())
        st.readOnly = true;
    else
        st.editable = true;
    if (!shown())
        st.passwordEdit = true;
    st.selectableText = true;
    return st;
}

void LineEditAccessible::selection(int n, int *start, int *end) const
{
    *start = *end = 0;
    if (n != 0 || !lineEdit()->hasSelectedText())
        return;
    *start = int(lineEdit()->selectionStart());
    *end = *start + int(lineEdit()->selectedText().size());
}

int LineEditAccessible::selectionCount() const { return lineEdit()->hasSelectedText() ? 1 : 0; }

void LineEditAccessible::addSelection(int start, int end) { setSelection(0, start, end); }

void LineEditAccessible::removeSelection(int n)
{
    if (n == 0)
        lineEdit()->deselect();
}

void LineEditAccessible::setSelection(int n, int start, int end)
{
    if (n == 0)
        lineEdit()->setSelection(start, end - start);
}

int LineEditAccessible::cursorPosition() const { return lineEdit()->cursorPosition(); }

void LineEditAccessible::setCursorPosition(int position) { lineEdit()->setCursorPosition(position); }

QString LineEditAccessible::text(int start, int end) const
{
    if (!shown())
        return QString();
    const QString all = lineEdit()->text();
    if (end < 0 || end > all.size())
        end = int(all.size());
    start = qBound(0, start, end);
    return all.mid(start, end - start);
}

int LineEditAccessible::characterCount() const { return int(lineEdit()->text().size()); }

QString LineEditAccessible::attributes(int offset, int *start, int *end) const
{
    // No formatting in a line edit: one run, the whole text.
    const int n = characterCount();
    if (offset < 0 || offset > n) {
        *start = *end = -1;
        return QString();
    }
    *start = 0;
    *end = n;
    return QString();
}

// The characters (or words) of text as [from, to) ranges, in order. A word
// runs to the start of the next one, as other toolkits give it.
static QList<QPair<int, int>> piecesOf(const QString &all, bool characters)
{
    const int n = int(all.size());
    QList<QPair<int, int>> pieces;
    if (characters) {
        QTextBoundaryFinder chars(QTextBoundaryFinder::Grapheme, all);
        for (int from = 0; from < n;) {
            chars.setPosition(from);
            const int to = int(chars.toNextBoundary());
            pieces.append({from, to > from ? to : from + 1});
            from = pieces.last().second;
        }
        return pieces;
    }
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, all);
    QList<int> starts;
    for (int at = 0; at >= 0 && at < n; at = int(words.toNextBoundary()))
        if (words.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            starts.append(at);
    for (int i = 0; i < starts.size(); ++i)
        pieces.append({starts[i], i + 1 < starts.size() ? starts[i + 1] : n});
    if (!starts.isEmpty() && starts.first() > 0)
        pieces.prepend({0, starts.first()});
    return pieces;
}

// The piece of the text of the given kind at, before or after offset. A line
// edit holds one line, so a line, a sentence, a paragraph and the whole text
// are all of it.
QString LineEditAccessible::piece(int offset, QAccessible::TextBoundaryType kind, int which, int *start, int *end) const
{
    *start = *end = -1;
    if (!shown())
        return QString();
    const QString all = lineEdit()->text();
    const int n = int(all.size());
    if (offset == -2)
        offset = cursorPosition();
    if (offset < 0 || offset > n)
        return QString();
    if (kind == QAccessible::LineBoundary || kind == QAccessible::SentenceBoundary ||
        kind == QAccessible::ParagraphBoundary || kind == QAccessible::NoBoundary) {
        if (which != 0)
            return QString();
        *start = 0;
        *end = n;
        return all;
    }
    const QList<QPair<int, int>> pieces = piecesOf(all, kind == QAccessible::CharBoundary);
    int at = -1;
    for (int i = 0; i < pieces.size(); ++i)
        if (offset >= pieces[i].first && offset < pieces[i].second)
            at = i;
    // At the very end: the piece before is the last one.
    if (at < 0 && offset == n) {
        if (which == 0 && kind != QAccessible::CharBoundary && !pieces.isEmpty())
            at = int(pieces.size()) - 1;
        else if (which == 0) {
            *start = *end = n;
            return QString();
        } else {
            at = int(pieces.size());
        }
    }
    const int want = at + which;
    if (want < 0 || want >= pieces.size())
        return QString();
    *start = pieces[want].first;
    *end = pieces[want].second;
    return all.mid(*start, *end - *start);
}

QString LineEditAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const
{
    return piece(offset, kind, 0, start, end);
}

QString LineEditAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const
{
    return piece(offset, kind, -1, start, end);
}

QString LineEditAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const
{
    return piece(offset, kind, 1, start, end);
}

QRect LineEditAccessible::characterRect(int offset) const
{
    // Measured from the text's left edge; a text scrolled sideways is not
    // followed.
    const QLineEdit *e = lineEdit();
    QStyleOptionFrame opt;
    opt.initFrom(e);
    const QRect area =
        e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e).marginsRemoved(e->textMargins());
    const QFontMetrics fm(e->font());
    const QString shownText = e->displayText();
    const int x = fm.horizontalAdvance(shownText.left(offset));
    const int w = offset < shownText.size() ? fm.horizontalAdvance(shownText.mid(offset, 1)) : 1;
    const QRect r(area.left() + x, area.top() + (area.height() - fm.height()) / 2, w, fm.height());
    return QRect(e->mapToGlobal(r.topLeft()), r.size());
}

int LineEditAccessible::offsetAtPoint(const QPoint &point) const
{
    return lineEdit()->cursorPositionAt(lineEdit()->mapFromGlobal(point));
}

void LineEditAccessible::scrollToSubstring(int start, int) { lineEdit()->setCursorPosition(start); }

void LineEditAccessible::deleteText(int start, int end)
{
    lineEdit()->setText(lineEdit()->text().remove(start, end - start));
}

void LineEditAccessible::insertText(int offset, const QString &text)
{
    lineEdit()->setText(lineEdit()->text().insert(offset, text));
}

void LineEditAccessible::replaceText(int start, int end, const QString &text)
{
    lineEdit()->setText(lineEdit()->text().replace(start, end - start, text));
}

namespace {

// Asked for every object of the program, the web engine's own included
// (some while they are still being built): only the class name is looked at
// until it names one of ours, or a line edit (Qt's dialogs' own too: they
// are asked under each class the object derives from).
QAccessibleInterface *factory(const QString &key, QObject *object)
{
    if (!object)
        return nullptr;
    if (key == QLatin1String("qyr::MessageLabel"))
        return new MessageAccessible(static_cast<QWidget *>(object));
    if (key == QLatin1String("qyr::NamedComboBox"))
        return new NamedComboAccessible(static_cast<QWidget *>(object));
    // A spin box's edit is read through the spin box, as Qt does.
    if (key == QLatin1String("QLineEdit") && object->objectName() != QLatin1String("qt_spinbox_lineedit"))
        return new LineEditAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

#ifdef Q_OS_WIN
// NVDA and JAWS speak a UI Automation notification raised on the window
// (Windows 10 1709 and later); older systems get the system alert event,
// which they present for an alert object.
void raiseWindowsNotification(QWidget *w, const QString &text)
{
    const HWND hwnd = reinterpret_cast<HWND>(w->window()->winId());
    // Looked up at run time: older systems lack the notification call.
    static const HMODULE uia = LoadLibraryW(L"uiautomationcore.dll");
    using Raise = HRESULT(WINAPI *)(IRawElementProviderSimple *, NotificationKind, NotificationProcessing, BSTR, BSTR);
    static const auto raise =
        uia ? reinterpret_cast<Raise>(reinterpret_cast<void *>(GetProcAddress(uia, "UiaRaiseNotificationEvent")))
            : nullptr;
    using Host = HRESULT(WINAPI *)(HWND, IRawElementProviderSimple **);
    static const auto host =
        uia ? reinterpret_cast<Host>(reinterpret_cast<void *>(GetProcAddress(uia, "UiaHostProviderFromHwnd")))
            : nullptr;
    IRawElementProviderSimple *provider = nullptr;
    if (raise && host && SUCCEEDED(host(hwnd, &provider)) && provider) {
        BSTR said = SysAllocString(reinterpret_cast<const wchar_t *>(text.utf16()));
        BSTR id = SysAllocString(L"qyrplayer.messaggio");
        raise(provider, NotificationKind_Other, NotificationProcessing_ImportantMostRecent, said, id);
        SysFreeString(said);
        SysFreeString(id);
        provider->Release();
        return;
    }
    NotifyWinEvent(EVENT_SYSTEM_ALERT, hwnd, OBJID_CLIENT, CHILDID_SELF);
}
#endif

} // namespace

void MessageLabel::announce(const QString &text)
{
    setText(text);
    fit();
    // Out of sight, it is said when its panel comes up, just after: showing
    // it anew as well made Orca say it twice, or once, as it pleased. On
    // screen, it is shown anew once the turn is over, so that of several
    // messages in one turn only the last is said.
    const bool onScreen = isVisible();
    QPointer<MessageLabel> self(this);
    QTimer::singleShot(0, this, [self, text, onScreen] {
        if (!self || !self->isVisible() || self->text() != text)
            return;
        if (onScreen) {
            self->hide();
            self->show();
        }
#ifdef Q_OS_WIN
        raiseWindowsNotification(self, text);
#endif
    });
}

NamedComboBox::NamedComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, &NamedComboBox::sayCurrent);
}

void NamedComboBox::sayCurrent()
{
    if (!hasFocus() || currentIndex() < 0)
        return;
    QAccessibleEvent said(this, QAccessible::Focus);
    said.setChild(currentIndex());
    QAccessible::updateAccessibility(&said);
}

void MessageLabel::setFullSize(int points)
{
    fullSize_ = points;
    fit();
}

void MessageLabel::fit()
{
    if (fullSize_ <= 0)
        return;
    QFont f = font();
    const int room = contentsRect().width() - 2 * margin() - 8;
    int size = fullSize_;
    for (f.setPointSize(size); size > fullSize_ / 2 && QFontMetrics(f).horizontalAdvance(text()) > room;)
        f.setPointSize(--size);
    setFont(f);
    setWordWrap(QFontMetrics(f).horizontalAdvance(text()) > room);
}

void MessageLabel::resizeEvent(QResizeEvent *e)
{
    QLabel::resizeEvent(e);
    fit();
}

void MessageLabel::showEvent(QShowEvent *e)
{
    QLabel::showEvent(e);
    // A window mapped again by the window system is not announced.
    if (!e->spontaneous())
        emit shown(text());
}

namespace {

QAccessible::UpdateHandler qtHandler = nullptr;
void retell(QAccessibleEvent *e);

// Hands an event on to Qt's own handling: the handler before ours, or, when
// there was none, the platform's (ours is set aside meanwhile).
void passOn(QAccessibleEvent *e)
{
    if (qtHandler) {
        qtHandler(e);
        return;
    }
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(e);
    QAccessible::installUpdateHandler(retell);
}

// A list (or the drive list) that gets the keyboard is reported as its
// current entry getting it. Orca presents a list by its count only (it finds
// no focused entry in a Qt list) and a drop-down list without its value, and
// a report for the entry just after the list's own cut the list's words
// short: the entry's report alone makes Orca say the panel and the list
// around it, then the entry.
void retell(QAccessibleEvent *e)
{
    if (e->type() == QAccessible::Focus && e->child() < 0 && e->object()) {
        int current = -1;
        if (auto *list = qobject_cast<QListWidget *>(e->object()))
            current = list->currentRow();
        else if (auto *box = qobject_cast<NamedComboBox *>(e->object()))
            current = box->currentIndex();
        if (current >= 0) {
            QAccessibleEvent entry(e->object(), QAccessible::Focus);
            entry.setChild(current);
            passOn(&entry);
            return;
        }
    }
    passOn(e);
}

} // namespace

void installAccessibility()
{
    QAccessible::installFactory(factory);
    qtHandler = QAccessible::installUpdateHandler(retell);
}

} // namespace qyr
