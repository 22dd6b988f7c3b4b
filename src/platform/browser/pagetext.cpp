#include "pagetext.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace qyr {

namespace {

// Walks the rendered page in document order. A line ends at every block
// element and line break; hidden elements, scripts and styles are left out;
// pictures speak their alternative text; a link without words is named by
// its title or its file name, so that no stop in the Tab cycle is nameless.
const char *kPageTextScript = R"JS(
(function () {
  var SKIP = {SCRIPT:1, STYLE:1, NOSCRIPT:1, TEMPLATE:1, HEAD:1, TITLE:1, META:1, LINK:1, AUDIO:1,
              VIDEO:1, OBJECT:1, EMBED:1, IFRAME:1, SELECT:1, TEXTAREA:1, MAP:1};
  var BLOCK = /^(ADDRESS|ARTICLE|ASIDE|BLOCKQUOTE|BODY|CAPTION|CENTER|DD|DIV|DL|DT|FIELDSET|FIGCAPTION|FIGURE|FOOTER|FORM|H[1-6]|HEADER|HR|LEGEND|LI|MAIN|NAV|OL|P|PRE|SECTION|TABLE|TBODY|THEAD|TFOOT|TR|UL)$/;
  var blocks = [], links = [], anchors = {}, places = [], linkWords = {}, counted = new Map();
  var ctx = [{ kind: 'p', level: 0, el: document.body, pre: false }];
  var cur = null, link = -1, marker = '';
  function top() { return ctx[ctx.length - 1]; }
  function open() {
    if (!cur) {
      var t = top();
      places.push(t.el);
      cur = { kind: t.kind, level: t.level, place: places.length - 1, marker: marker, runs: [] };
      marker = '';
      blocks.push(cur);
    }
    return cur;
  }
  function add(text) {
    if (!text) return;
    var b = open();
    // Text and link by turns: plain values are handed over much quicker than objects.
    b.runs.push(text);
    b.runs.push(link);
    if (link >= 0 && text.trim()) linkWords[link] = true;
  }
  function hidden(el) {
    if (el.hidden || el.getAttribute('aria-hidden') === 'true') return true;
    var s = window.getComputedStyle(el);
    return s.display === 'none' || s.visibility === 'hidden';
  }
  function linkName(a) {
    var name = a.getAttribute('title') || a.getAttribute('aria-label');
    if (name) return name;
    var h = a.getAttribute('href') || '';
    h = h.split('#')[0].split('?')[0];
    h = h.substring(h.lastIndexOf('/') + 1);
    // A bad escape ("%zz") names the link as written, rather than end the walk.
    try { h = decodeURIComponent(h); } catch (e) {}
    return h || 'collegamento';
  }
  function walk(node) {
    if (node.nodeType === 3) {
      var text = node.data;
      if (top().pre) {
        var lines = text.split('\n');
        for (var i = 0; i < lines.length; i++) {
          if (i > 0) cur = null;
          if (lines[i]) add(lines[i]);
        }
      } else {
        add(text.replace(/[\s\u00a0]+/g, ' '));
      }
      return;
    }
    if (node.nodeType !== 1) return;
    var el = node, tag = el.tagName.toUpperCase();
    if (SKIP[tag] || (tag !== 'BODY' && hidden(el))) return;
    var id = el.id || (tag === 'A' ? el.getAttribute('name') : '');
    if (id && !(id in anchors)) anchors[id] = cur ? blocks.length - 1 : blocks.length;
    if (tag === 'BR') { open(); cur = null; return; }
    if (tag === 'IMG' || (tag === 'INPUT' && /^(submit|button|reset|image)$/i.test(el.type))) {
      var alt = tag === 'IMG' ? el.getAttribute('alt') : (el.value || el.getAttribute('alt'));
      if (alt) add(alt.replace(/\s+/g, ' '));
      return;
    }
    // A table row is one line, its cells one after the other.
    if ((tag === 'TD' || tag === 'TH') && el.previousElementSibling && cur) add(', ');
    var isBlock = BLOCK.test(tag), wasLink = link;
    if (isBlock) {
      cur = null;
      var t = top(), kind = t.kind, level = t.level;
      if (/^H[1-6]$/.test(tag)) { kind = 'h'; level = +tag.charAt(1); }
      else if (tag === 'LI') {
        kind = 'li';
        var list = el.parentElement, depth = 0;
        for (var p = el.parentElement; p; p = p.parentElement) if (p.tagName === 'UL' || p.tagName === 'OL') depth++;
        level = depth;
        if (list && list.tagName === 'OL') {
          // Counted from the item numbered last in the same list, not from
          // its start: a list of many items cost its length squared.
          var seen = counted.get(list), n = 0, s = el.previousElementSibling;
          for (; s && !(seen && s === seen.li); s = s.previousElementSibling) if (s.tagName === 'LI') n++;
          n += s ? seen.n + 1 : list.hasAttribute('start') ? parseInt(list.getAttribute('start'), 10) || 1 : 1;
          counted.set(list, { li: el, n: n });
          marker = n + '. ';
        } else {
          marker = '- ';
        }
      } else if (kind !== 'li' && kind !== 'h') { kind = tag === 'PRE' ? 'pre' : 'p'; level = 0; }
      ctx.push({ kind: kind, level: level, el: el, pre: tag === 'PRE' || t.pre });
    }
    if (tag === 'A' && el.hasAttribute('href')) {
      links.push(el);
      link = links.length - 1;
    }
    for (var c = el.firstChild; c; c = c.nextSibling) walk(c);
    if (link !== wasLink) {
      // A link that showed no words at all gets a name.
      if (!linkWords[link]) add(linkName(el));
      link = wasLink;
    }
    if (isBlock) { ctx.pop(); cur = null; marker = ''; }
  }
  if (document.body) walk(document.body);
  window.__qyrTextPlaces = places;
  window.__qyrTextLinks = links;
  // One string: a page of many lines handed over as objects took the engine
  // seconds to convert.
  return JSON.stringify({ blocks: blocks, anchors: anchors });
})()
)JS";

QString trimmedStart(const QString &s)
{
    int i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return s.mid(i);
}

QString trimmedEnd(const QString &s)
{
    int i = s.size();
    while (i > 0 && s.at(i - 1).isSpace())
        --i;
    return s.left(i);
}

// Writes the page's lines into a new document, all in one edit: outside an
// edit every insertion lays its paragraph out anew, which made a long
// paragraph cost its length squared. Two more guards keep the layout in
// time linear in the page:
// - a word far longer than any line gets a place to break every few letters
//   (a zero-width space): the layout looks for a line's end as far as the
//   end of the word, so each line of a word of a megabyte cost a megabyte;
// - a paragraph far longer than a page goes on in a new block of the same
//   kind at a blank: the layout does a block at a time, so that one block of
//   megabytes held the program until it was all laid out.
class TextWriter {
public:
    using LinkSpan = PageTextView::LinkSpan;
    TextWriter(QTextDocument *doc, const QFont &font, QVector<LinkSpan> &spans) : c_(doc), spans_(spans)
    {
        plain_.setFont(font);
        c_.beginEditBlock();
    }
    void finish() { c_.endEditBlock(); }

    // Writes a line of the page; the number of the text block it starts in.
    int write(const PageTextBlock &b)
    {
        bf_ = QTextBlockFormat();
        base_ = plain_;
        if (b.kind == PageTextBlock::Heading) {
            bf_.setHeadingLevel(b.level);
            base_.setFontWeight(QFont::Bold);
        }
        if (b.kind == PageTextBlock::ListItem)
            bf_.setIndent(std::max(1, b.level));
        linkFormat_ = base_;
        linkFormat_.setAnchor(true);
        linkFormat_.setFontUnderline(true);
        place_ = b.place;
        if (blocks_ > 0) {
            newBlock();
        } else {
            c_.setBlockFormat(bf_);
            c_.block().setUserState(place_);
            blocks_ = 1;
        }
        const int first = blocks_ - 1, firstSpan = int(spans_.size());
        word_ = 0;
        write(b.marker, base_);
        for (const PageTextRun &r : b.runs) {
            if (r.link < 0) {
                write(r.text, base_);
                continue;
            }
            const int start = write(r.text, linkFormat_);
            // A link in several runs is one link, within its line.
            LinkSpan *last = spans_.size() > firstSpan ? &spans_.last() : nullptr;
            if (last && last->link == r.link && last->end == start) {
                last->end = c_.position();
                last->text += r.text;
            } else {
                spans_.append({start, c_.position(), r.text, r.link});
            }
        }
        return first;
    }

private:
    static constexpr int kLongWord = 500, kWordPiece = 50, kLongBlock = 10000;

    void newBlock()
    {
        c_.insertBlock(bf_, base_);
        c_.block().setUserState(place_);
        ++blocks_;
        length_ = 0;
    }

    // Writes text in format f; where its first character went.
    int write(const QString &text, const QTextCharFormat &f)
    {
        if (text.isEmpty())
            return c_.position();
        QString piece;
        int first = c_.position(), from = 0; // text from `from` on is not yet in piece
        for (int i = 0; i < text.size(); ++i) {
            const bool afterBlank = word_ == 0;
            word_ = text.at(i).isSpace() ? 0 : word_ + 1;
            const bool longWord = word_ > kLongWord && (word_ - kLongWord) % kWordPiece == 1;
            const bool split = length_ >= kLongBlock && word_ > 0 && (afterBlank || longWord);
            if (split || longWord) {
                piece += QStringView(text).mid(from, i - from);
                from = i;
            }
            if (split) {
                c_.insertText(piece, f);
                piece.clear();
                newBlock();
            } else if (longWord) {
                piece += QChar(0x200B);
                ++length_;
            }
            if (i == 0)
                first = c_.position() + int(piece.size());
            ++length_;
        }
        if (from == 0 && piece.isEmpty())
            c_.insertText(text, f);
        else
            c_.insertText(piece.append(QStringView(text).mid(from)), f);
        return first;
    }

    QTextCursor c_;
    QVector<LinkSpan> &spans_;
    QTextCharFormat plain_, base_, linkFormat_;
    QTextBlockFormat bf_;
    int place_ = -1, blocks_ = 0;
    int word_ = 0;   // letters since the last blank, across the runs
    int length_ = 0; // letters in the text block so far
};

} // namespace

const char *pageTextScript() { return kPageTextScript; }

PageTextContent pageTextFromVariant(const QVariant &v)
{
    // The walker hands its answer over as JSON text.
    const QVariantMap m =
        v.typeId() == QMetaType::QString ? QJsonDocument::fromJson(v.toString().toUtf8()).toVariant().toMap() : v.toMap();
    PageTextContent out;
    const QVariantList blocks = m.value(QStringLiteral("blocks")).toList();
    // Lines with no words are dropped; an anchor on one points at the next
    // line kept.
    QVector<int> kept(blocks.size() + 1, -1);
    for (int i = 0; i < blocks.size(); ++i) {
        const QVariantMap b = blocks.at(i).toMap();
        PageTextBlock block;
        const QString kind = b.value(QStringLiteral("kind")).toString();
        block.kind = kind == QLatin1String("h")     ? PageTextBlock::Heading
                     : kind == QLatin1String("li")  ? PageTextBlock::ListItem
                     : kind == QLatin1String("pre") ? PageTextBlock::Preformatted
                                                    : PageTextBlock::Paragraph;
        block.level = b.value(QStringLiteral("level")).toInt();
        block.place = b.value(QStringLiteral("place")).toInt();
        block.marker = b.value(QStringLiteral("marker")).toString();
        bool words = false;
        const QVariantList runs = b.value(QStringLiteral("runs")).toList(); // text and link by turns
        for (int k = 0; k + 1 < runs.size(); k += 2) {
            QString text = runs.at(k).toString();
            // Blanks between runs collapse as the page shows them.
            if (block.kind != PageTextBlock::Preformatted &&
                (block.runs.isEmpty() || block.runs.last().text.endsWith(QLatin1Char(' '))))
                text = trimmedStart(text);
            if (text.isEmpty())
                continue;
            words = words || !text.trimmed().isEmpty();
            block.runs.append({text, runs.at(k + 1).toInt()});
        }
        if (!block.runs.isEmpty() && block.kind != PageTextBlock::Preformatted)
            block.runs.last().text = trimmedEnd(block.runs.last().text);
        if (words) {
            kept[i] = out.blocks.size();
            out.blocks.append(block);
        }
    }
    kept[blocks.size()] = std::max(0, int(out.blocks.size()) - 1);
    for (int i = blocks.size() - 1; i >= 0; --i)
        if (kept[i] < 0)
            kept[i] = kept[i + 1];
    const QVariantMap anchors = m.value(QStringLiteral("anchors")).toMap();
    for (auto it = anchors.begin(); it != anchors.end(); ++it)
        out.anchors.insert(it.key(), kept[std::clamp(it.value().toInt(), 0, int(blocks.size()))]);
    return out;
}

PageTextView::PageTextView(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("objwbTesto"));
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    // A caret the arrows move, and links reached with Tab.
    setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(QStringLiteral("Testo della pagina"));
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { caretMoved(); });
}

void PageTextView::show(const PageTextContent &content, const QString &title, bool fresh)
{
    const int oldPosition = textCursor().position();
    // The splash has no title of its own: the program's name stands for it.
    setAccessibleName(title.isEmpty() || title.startsWith(QLatin1String("about:")) ? QStringLiteral("QYR Player")
                                                                                   : title);
    setHighlighted(-1);
    spans_.clear();
    auto *doc = new QTextDocument(this);
    doc->setDocumentMargin(8);
    doc->setUndoRedoEnabled(false);
    // No page size yet: the view lays the text out once, at its own width,
    // instead of once for each setting it gives the document.
    doc->setPageSize(QSizeF(0, 0));
    TextWriter writer(doc, font(), spans_);
    QVector<int> firstBlock; // each line's first text block
    firstBlock.reserve(content.blocks.size());
    for (const PageTextBlock &b : content.blocks)
        firstBlock.append(writer.write(b));
    writer.finish();
    for (LinkSpan &l : spans_)
        l.text = l.text.simplified();
    anchors_.clear();
    for (auto it = content.anchors.begin(); it != content.anchors.end(); ++it)
        anchors_.insert(it.key(),
                        it.value() >= 0 && it.value() < firstBlock.size() ? firstBlock.at(it.value()) : it.value());
    place_ = -1;
    // The old document is the view's child: the view deletes it.
    setDocument(doc);
    QTextCursor at(doc);
    if (!fresh)
        at.setPosition(std::min(oldPosition, doc->characterCount() - 1));
    setTextCursor(at);
    caretMoved();
    stopAwaiting();
}

bool PageTextView::goToAnchor(const QString &name)
{
    auto it = anchors_.constFind(name);
    if (it == anchors_.constEnd())
        return false;
    const QTextBlock b = document()->findBlockByNumber(it.value());
    if (!b.isValid())
        return false;
    QTextCursor c(document());
    c.setPosition(b.position());
    setTextCursor(c);
    ensureCursorVisible();
    return true;
}

void PageTextView::toStart()
{
    QTextCursor c(document());
    setTextCursor(c);
}

QString PageTextView::currentLine() const
{
    const QTextCursor c = textCursor();
    return c.block().text();
}

// The link reached takes the focus for the screen reader, which says its
// words and that it is a link; leaving it gives the focus back to the text,
// or the screen reader would not follow the caret any more.
void PageTextView::setHighlighted(int link)
{
    const int old = std::exchange(highlighted_, link);
    if (old == link || !QAccessible::isActive())
        return;
    QAccessibleInterface *me = QAccessible::queryAccessibleInterface(this);
    QAccessibleInterface *target = link >= 0 && me ? me->child(link) : me;
    if (target) {
        QAccessibleEvent focus(target, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void PageTextView::caretMoved()
{
    if (highlighted_ >= 0 && textCursor().position() != spans_.at(highlighted_).start)
        setHighlighted(-1);
    const int place = textCursor().block().userState();
    if (place == place_)
        return;
    place_ = place;
    if (place >= 0 && onPlaceChanged)
        onPlaceChanged(place);
}

// Tab goes round the page's links: after the last, the first again, never
// out of the page to a control the reader cannot see. The caret goes to the
// start of the link, unselected: a selection would be read out as such.
bool PageTextView::focusNextPrevChild(bool next)
{
    if (awaiting_) {
        heldKeys_.emplace_back(new QKeyEvent(QEvent::KeyPress, next ? Qt::Key_Tab : Qt::Key_Backtab,
                                             next ? Qt::NoModifier : Qt::ShiftModifier));
        return true;
    }
    if (spans_.isEmpty())
        return true;
    const int at = textCursor().position();
    const bool onLink = highlighted_ >= 0;
    int target = next ? 0 : int(spans_.size()) - 1;
    if (next) {
        for (int i = 0; i < spans_.size(); ++i)
            if (spans_.at(i).start > at || (!onLink && spans_.at(i).start == at)) {
                target = i;
                break;
            }
    } else {
        for (int i = int(spans_.size()) - 1; i >= 0; --i)
            if (spans_.at(i).start < at) {
                target = i;
                break;
            }
    }
    QTextCursor c(document());
    c.setPosition(spans_.at(target).start);
    setTextCursor(c);
    ensureCursorVisible();
    setHighlighted(target);
    return true;
}

// Enter follows the link reached with Tab or the link the caret is in; with
// the caret before a line's first link (on its number, its blanks, the words
// before it), that link: the reader has just heard the line and means it.
int PageTextView::linkForEnter() const
{
    const QTextCursor c = textCursor();
    const int at = c.position();
    auto next = std::lower_bound(spans_.cbegin(), spans_.cend(), at,
                                 [](const LinkSpan &l, int pos) { return l.end <= pos; });
    if (next == spans_.cend())
        return -1;
    if (next->start <= at)
        return next->link;
    // The line as laid out on screen, as the screen reader reads it; before
    // the text is laid out, its text block.
    const QTextBlock block = c.block();
    int lineEnd = block.position() + block.length() - 1;
    if (const QTextLayout *layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine line = layout->lineForTextPosition(at - block.position());
        if (line.isValid())
            lineEnd = block.position() + line.textStart() + line.textLength();
    }
    return next->start < lineEnd ? next->link : -1;
}

void PageTextView::activateLinkAtCaret()
{
    const int link = linkForEnter();
    if (link >= 0 && onLinkActivated)
        onLinkActivated(link);
}

void PageTextView::awaitNewPage()
{
    // The old page's links lead nowhere now, and its lines are not read again.
    setHighlighted(-1);
    spans_.clear();
    awaiting_ = true;
}

void PageTextView::handOverTo(PageTextView &other)
{
    other.awaiting_ = std::exchange(awaiting_, false);
    other.heldKeys_ = std::move(heldKeys_);
    heldKeys_.clear();
}

void PageTextView::leavePage()
{
    // The words stay: a screen reader's say-all still going on them reads to
    // their end and stops there. Emptied, they would keep it walking an empty
    // text letter by letter up to the old length, deaf to the new page.
    setHighlighted(-1);
    spans_.clear();
    anchors_.clear();
    place_ = -1;
}

void PageTextView::stopAwaiting()
{
    if (!std::exchange(awaiting_, false))
        return;
    const std::vector<std::unique_ptr<QKeyEvent>> held = std::move(heldKeys_);
    heldKeys_.clear();
    for (const auto &e : held) {
        if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab)
            focusNextPrevChild(e->key() == Qt::Key_Tab);
        else
            keyPressEvent(e.get());
    }
}

void PageTextView::keyPressEvent(QKeyEvent *e)
{
    // Between pages: the keys wait for the new page's text, except Enter,
    // which was meant for a link of the page that has gone.
    if (awaiting_) {
        if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter)
            heldKeys_.emplace_back(static_cast<QKeyEvent *>(e->clone()));
        e->accept();
        return;
    }
    // The text is the page read aloud: its size never changes.
    if (e->matches(QKeySequence::ZoomIn) || e->matches(QKeySequence::ZoomOut)) {
        e->ignore();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        activateLinkAtCaret();
        e->accept();
        return;
    }
    // Back to the text before the caret moves off the link, so that the
    // screen reader reads where it lands.
    if (highlighted_ >= 0 && e->key() != Qt::Key_Tab && e->key() != Qt::Key_Backtab)
        setHighlighted(-1);
    // Ctrl+Down and Ctrl+Up go by paragraph, as in a word processor.
    if (e->modifiers() == Qt::ControlModifier && (e->key() == Qt::Key_Down || e->key() == Qt::Key_Up)) {
        QTextCursor c = textCursor();
        c.clearSelection();
        if (e->key() == Qt::Key_Down)
            c.movePosition(QTextCursor::NextBlock);
        else if (!c.atBlockStart())
            c.movePosition(QTextCursor::StartOfBlock);
        else
            c.movePosition(QTextCursor::PreviousBlock);
        setTextCursor(c);
        ensureCursorVisible();
        e->accept();
        return;
    }
    QTextBrowser::keyPressEvent(e);
}

// ---------------------------------------------------------------------------
// What screen readers see: a document named by the page's title, whose text
// is read line by line as laid out on screen.

namespace {

// A link of the page's text: a child of the text, named by its words.
class PageLinkAccessible : public QAccessibleInterface {
public:
    PageLinkAccessible(PageTextView *view, int index) : view_(view), index_(index) {}
    bool isValid() const override { return view_ && index_ < view_->links().size(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Link; }
    void setText(QAccessible::Text, const QString &) override {}
    QString text(QAccessible::Text t) const override
    {
        return isValid() && t == QAccessible::Name ? view_->links().at(index_).text : QString();
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.focusable = true;
        s.linked = true;
        s.focused = isValid() && view_->hasFocus() && view_->highlightedLink() == index_;
        s.invisible = !isValid();
        return s;
    }
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        QTextCursor c(view_->document());
        c.setPosition(view_->links().at(index_).start);
        const QRect r = view_->cursorRect(c);
        const int width = view_->fontMetrics().horizontalAdvance(view_->links().at(index_).text);
        return QRect(view_->viewport()->mapToGlobal(r.topLeft()), QSize(std::max(1, width), r.height()));
    }

private:
    QPointer<PageTextView> view_;
    int index_;
};

class PageTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PageTextAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::Document) {}

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return view()->accessibleName();
        if (t == QAccessible::Description)
            return view()->accessibleDescription();
        return QAccessibleWidget::text(t);
    }

    // The links are its children; the scroll bars are of no use to a reader.
    int childCount() const override { return int(view()->links().size()); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        while (links_.size() <= index) {
            auto *link = new PageLinkAccessible(view(), int(links_.size()));
            links_.append(QAccessible::registerAccessibleInterface(link));
        }
        return QAccessible::accessibleInterface(links_.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child)
                return i;
        return -1;
    }
    QAccessibleInterface *focusChild() const override
    {
        return view()->highlightedLink() >= 0 ? child(view()->highlightedLink()) : nullptr;
    }
    ~PageTextAccessible() override
    {
        for (QAccessible::Id id : std::as_const(links_))
            QAccessible::deleteAccessibleInterface(id);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        s.focusable = true;
        return s;
    }

    // Selection
    void selection(int index, int *start, int *end) const override
    {
        const QTextCursor c = view()->textCursor();
        *start = *end = 0;
        if (index == 0 && c.hasSelection()) {
            *start = c.selectionStart();
            *end = c.selectionEnd();
        }
    }
    int selectionCount() const override { return view()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor c = view()->textCursor();
        c.clearSelection();
        view()->setTextCursor(c);
    }
    void setSelection(int, int start, int end) override
    {
        QTextCursor c(view()->document());
        c.setPosition(clampOffset(start));
        c.setPosition(clampOffset(end), QTextCursor::KeepAnchor);
        view()->setTextCursor(c);
    }

    // Caret
    int cursorPosition() const override { return view()->textCursor().position(); }
    void setCursorPosition(int position) override
    {
        QTextCursor c(view()->document());
        c.setPosition(clampOffset(position));
        view()->setTextCursor(c);
    }

    // Text
    QString text(int start, int end) const override
    {
        const QString all = plain();
        if (end < 0 || end > all.size())
            end = all.size();
        start = std::clamp(start, 0, int(all.size()));
        return all.mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return view()->document()->characterCount() - 1; }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        if (!byLines(type))
            return QAccessibleTextInterface::textAtOffset(offset, type, start, end);
        return line(clampOffset(offset), 0, type == QAccessible::ParagraphBoundary, start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        if (!byLines(type))
            return QAccessibleTextInterface::textBeforeOffset(offset, type, start, end);
        return line(clampOffset(offset), -1, type == QAccessible::ParagraphBoundary, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        if (!byLines(type))
            return QAccessibleTextInterface::textAfterOffset(offset, type, start, end);
        return line(clampOffset(offset), 1, type == QAccessible::ParagraphBoundary, start, end);
    }

    // Geometry
    QRect characterRect(int offset) const override
    {
        QTextCursor c(view()->document());
        c.setPosition(clampOffset(offset));
        QRect r = view()->cursorRect(c);
        r.setWidth(std::max(1, view()->fontMetrics().horizontalAdvance(plain().mid(offset, 1))));
        return QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return view()->cursorForPosition(view()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override
    {
        setCursorPosition(start);
        view()->ensureCursorVisible();
    }
    // No attributes, over the whole text. An empty range here (what Qt's own
    // text boxes answer) makes Orca drop the last character of each line.
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return QString();
    }

private:
    PageTextView *view() const { return static_cast<PageTextView *>(widget()); }
    // One child interface per link place, made when first asked for; a link
    // place that a later page lacks reports itself invalid.
    mutable QVector<QAccessible::Id> links_;
    QString plain() const { return view()->document()->toPlainText(); }
    int clampOffset(int offset) const { return std::clamp(offset, 0, characterCount()); }

    static bool byLines(QAccessible::TextBoundaryType type)
    {
        return type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary;
    }

    // The line (or paragraph) at offset, or the one before (step -1) or after
    // it (step 1); empty past either end.
    QString line(int offset, int step, bool paragraph, int *start, int *end) const
    {
        lineAt(offset, paragraph, start, end);
        if (step < 0 && *start == 0)
            *end = 0;
        else if (step > 0 && *end >= characterCount())
            *start = *end = characterCount();
        else if (step != 0)
            lineAt(step < 0 ? *start - 1 : *end, paragraph, start, end);
        return text(*start, *end);
    }

    // The line as laid out on screen (or the whole paragraph), with the line
    // break that ends it, as screen readers expect.
    void lineAt(int offset, bool paragraph, int *start, int *end) const
    {
        QTextBlock b = view()->document()->findBlock(offset);
        if (!b.isValid())
            b = view()->document()->lastBlock();
        *start = b.position();
        *end = b.position() + b.length() - 1;
        const QTextLayout *layout = b.layout();
        if (!paragraph && layout && layout->lineCount() > 1) {
            const QTextLine line = layout->lineForTextPosition(offset - b.position());
            if (line.isValid()) {
                *start = b.position() + line.textStart();
                const int lineEnd = *start + line.textLength();
                if (lineEnd < *end)
                    *end = lineEnd;
            }
        }
        if (*end == b.position() + b.length() - 1 && b.next().isValid())
            *end += 1; // the line break
        *end = std::min(*end, characterCount());
    }
};

QAccessibleInterface *pageTextFactory(const QString &key, QObject *object)
{
    if (object && key == QLatin1String("qyr::PageTextView"))
        return new PageTextAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

void installPageTextAccessibility() { QAccessible::installFactory(pageTextFactory); }

} // namespace qyr
