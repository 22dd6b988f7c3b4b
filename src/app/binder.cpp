#include "binder.h"
#include "accessibility.h"
#include "keycodes.h"

#include <QKeyEvent>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <memory>

namespace qyr {

namespace {
void applyGeometry(const Control &m, QWidget *w, const Twips &t)
{
    w->setGeometry(int(std::lround(m.left() / t.perPixelX)), int(std::lround(m.top() / t.perPixelY)),
                   int(std::lround(m.width() / t.perPixelX)), int(std::lround(m.height() / t.perPixelY)));
}

// What every widget mirrors of its model. The rest is mirrored by the binder
// of the control's kind, or only once, as the widget is made (a caption).
void applyCommon(const Control &m, QWidget *w, const Twips &t, Prop prop)
{
    switch (prop) {
    case Prop::Geometry: applyGeometry(m, w, t); break;
    case Prop::Visible: w->setVisible(m.visible()); break;
    case Prop::Enabled: w->setEnabled(m.enabled()); break;
    case Prop::ToolTip: w->setToolTip(m.toolTip()); break;
    case Prop::Caption:
    case Prop::Text:
    case Prop::Value:
    case Prop::Items:
    case Prop::ListIndex:
    case Prop::TabStop:
    case Prop::Path:
    case Prop::Pattern: break;
    }
}
} // namespace

void bindControl(Control &m, QWidget *w, const Twips &t)
{
    QPointer<QWidget> p(w);
    if (!m.accessibleName().isEmpty())
        w->setAccessibleName(m.accessibleName());
    if (!m.description().isEmpty())
        w->setAccessibleDescription(m.description());
    w->setObjectName(m.name());
    applyGeometry(m, w, t);
    w->setVisible(m.visible());
    w->setEnabled(m.enabled());
    m.PropertyChanged.connect([&m, p, t](Prop prop) {
        if (p)
            applyCommon(m, p, t, prop);
    });
}

void bindTextBox(TextBox &m, QLineEdit *w, const Twips &t)
{
    bindControl(m, w, t);
    QPointer<QLineEdit> p(w);
    w->setText(m.text());
    m.PropertyChanged.connect([&m, p](Prop prop) {
        if (p && prop == Prop::Text && p->text() != m.text())
            p->setText(m.text());
    });
    QObject::connect(w, &QLineEdit::textEdited, w, [&m](const QString &s) { m.setText(s); });
    QObject::connect(w, &QLineEdit::editingFinished, w, [&m] { m.EditingDone(); });
}

void bindCheckBox(CheckBox &m, QCheckBox *w, const Twips &t)
{
    bindControl(m, w, t);
    QPointer<QCheckBox> p(w);
    w->setText(m.caption());
    w->setChecked(m.value() == 1);
    m.PropertyChanged.connect([&m, p](Prop prop) {
        if (p && prop == Prop::Value)
            p->setChecked(m.value() == 1);
    });
    QObject::connect(w, &QCheckBox::clicked, w, [&m](bool on) { m.setValue(on ? 1 : 0); });
}

void bindButton(Button &m, QPushButton *w, const Twips &t)
{
    bindControl(m, w, t);
    w->setText(m.caption());
    QObject::connect(w, &QPushButton::clicked, w, [&m] { m.click(); });
}

namespace {
// Up and Left choose the group's previous button, Down and Right the next,
// whatever the buttons' places on screen: Qt moves only towards a button that
// lies in the arrow's direction, so Up and Down did nothing in a row.
class RadioArrows : public QObject {
public:
    RadioArrows(const std::vector<QRadioButton *> &buttons, QObject *parent)
        : QObject(parent), buttons_(buttons.begin(), buttons.end())
    {
        for (QRadioButton *b : buttons)
            b->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *obj, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const auto *k = static_cast<QKeyEvent *>(e);
        if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        int step = 0;
        if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Left)
            step = -1;
        else if (k->key() == Qt::Key_Down || k->key() == Qt::Key_Right)
            step = 1;
        if (step == 0)
            return false;
        int at = -1;
        for (int i = 0; i < int(buttons_.size()); ++i)
            if (buttons_[size_t(i)] == obj)
                at = i;
        // The next usable button that way; none at either end, as Qt does.
        for (int i = at + step; at >= 0 && i >= 0 && i < int(buttons_.size()); i += step) {
            QRadioButton *b = buttons_[size_t(i)];
            if (!b || !b->isEnabled() || b->isHidden())
                continue;
            // Chosen before it takes the keyboard, so it is announced as chosen.
            b->click();
            b->setFocus(Qt::TabFocusReason);
            break;
        }
        return true;
    }

private:
    std::vector<QPointer<QRadioButton>> buttons_;
};
} // namespace

void bindOptions(OptionGroup &g, const std::vector<QRadioButton *> &w, const Twips &t)
{
    // A group of their own: Qt otherwise joins every radio button under the
    // same ancestor, nested boxes included, for exclusivity and for Tab.
    auto *group = new QButtonGroup(w.front()->parentWidget());
    for (QRadioButton *b : w)
        group->addButton(b);
    for (int i = 0; i < int(w.size()); ++i) {
        bindControl(g.button(i), w[size_t(i)], t);
        w[size_t(i)]->setText(g.button(i).caption());
        QObject::connect(w[size_t(i)], &QRadioButton::clicked, w[size_t(i)], [&g, i] { g.select(i); });
    }
    std::vector<QPointer<QRadioButton>> ps(w.begin(), w.end());
    // Only the checked button is in the Tab order, as in any radio group:
    // Tab lands on the reader's current choice.
    auto sync = [&g, ps] {
        for (int i = 0; i < int(ps.size()); ++i)
            if (ps[size_t(i)]) {
                ps[size_t(i)]->setChecked(g.selected() == i);
                ps[size_t(i)]->setFocusPolicy(g.selected() == i ? Qt::StrongFocus : Qt::ClickFocus);
            }
    };
    sync();
    g.SelectionChanged.connect(sync);
    new RadioArrows(w, group);
}

namespace {
// The logic moves a list's current entry. Qt reports every such move to
// screen readers as a selection change, and Orca follows a selection change
// into the list wherever the keyboard is: a folder list filled while the
// reader is in the drive list, or the closed bookmark list moved by Alt+1,
// were announced as if the keyboard had gone there. A list without the
// keyboard therefore moves without telling its view's selection watchers.
void setRowQuietly(QListWidget *w, int row, bool evenWithFocus = false)
{
    const QSignalBlocker block(w);
    if (w->hasFocus() && !evenWithFocus) {
        w->setCurrentRow(row);
        return;
    }
    {
        const QSignalBlocker quiet(w->selectionModel());
        w->setCurrentRow(row);
    }
    if (QListWidgetItem *item = w->currentItem())
        w->scrollToItem(item);
    w->viewport()->update();
}

// A list just filled has no current entry, and Qt makes the first one
// current only when an arrow is pressed: Orca then said only how many
// entries the list had. The first entry becomes current as the list gets the
// keyboard, before Qt reports the focus (reported as the entry's, see
// accessibility.cpp), and quietly: a report of its own would come first and
// be cut short.
class ListFocus : public QObject {
public:
    ListFocus(QListWidget *w, std::function<void(int)> chosen) : QObject(w), list_(w), chosen_(std::move(chosen))
    {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::FocusIn && list_->count() > 0 && list_->currentRow() < 0) {
            setRowQuietly(list_, 0, true);
            chosen_(0);
        }
        return false;
    }

private:
    QListWidget *list_;
    std::function<void(int)> chosen_;
};

// A list box or a file/folder list: items and selection in both directions.
// batched: entries added one by one (a whole book's bookmarks) are shown in
// one refill, once the handler filling the list has returned.
template <typename Model>
void bindItems(Model &m, QListWidget *w, const Twips &t, bool batched = false)
{
    bindControl(m, w, t);
    QPointer<QListWidget> p(w);
    auto refill = [&m, p] {
        if (!p)
            return;
        QSignalBlocker block(p);
        p->clear();
        p->addItems(m.items());
        setRowQuietly(p, m.listIndex());
    };
    refill();
    auto pending = std::make_shared<bool>(false);
    auto refillSoon = [p, pending, refill, batched] {
        if (!batched) {
            refill();
            return;
        }
        if (*pending || !p)
            return;
        *pending = true;
        QTimer::singleShot(0, p, [pending, refill] {
            *pending = false;
            refill();
        });
    };
    m.PropertyChanged.connect([&m, p, refillSoon](Prop prop) {
        if (prop == Prop::Items)
            refillSoon();
        // Only the selection moves: rebuilding the list would make a screen
        // reader start reading it again.
        else if (prop == Prop::ListIndex && p && p->currentRow() != m.listIndex())
            setRowQuietly(p, m.listIndex());
    });
    QObject::connect(w, &QListWidget::currentRowChanged, w, [&m](int row) { m.setListIndex(row); });
    new ListFocus(w, [&m](int row) { m.setListIndex(row); });
}
} // namespace

namespace {
// Hands a widget's key presses to a handler, with the key codes the logic is
// written for; the widget still handles them after.
class KeyForwarder : public QObject {
public:
    KeyForwarder(QWidget *w, std::function<void(qint16, qint16)> handler) : QObject(w), handler_(std::move(handler))
    {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const auto *k = static_cast<QKeyEvent *>(e);
            if (const int vk = keycodes::fromQt(*k))
                handler_(qint16(vk), qint16(keycodes::maskFromQt(*k)));
        }
        return false;
    }

private:
    std::function<void(qint16, qint16)> handler_;
};
} // namespace

void forwardKeys(QWidget *w, std::function<void(qint16, qint16)> handler) { new KeyForwarder(w, std::move(handler)); }

void bindList(ListBox &m, QListWidget *w, const Twips &t)
{
    bindItems(m, w, t, true);
    forwardKeys(w, [&m](qint16 code, qint16 mask) { m.KeyDown(code, mask); });
    QObject::connect(w, &QListWidget::itemDoubleClicked, w, [&m] { m.DblClick(); });
}

void bindPathList(PathList &m, QListWidget *w, const Twips &t) { bindItems(m, w, t); }

void bindDriveList(PathList &m, QComboBox *w, const Twips &t)
{
    bindControl(m, w, t);
    QPointer<QComboBox> p(w);
    auto refill = [&m, p] {
        if (!p)
            return;
        QSignalBlocker block(p);
        p->clear();
        p->addItems(m.items().isEmpty() ? QStringList{m.path()} : m.items());
        p->setCurrentText(m.path());
    };
    refill();
    m.PropertyChanged.connect([refill](Prop prop) {
        if (prop == Prop::Items || prop == Prop::Path)
            refill();
    });
    QObject::connect(w, &QComboBox::textActivated, w, [&m](const QString &s) { m.setPath(s); });
}

void bindAnnouncer(Control &m, MessageLabel *w, const Twips &t, std::function<void(const QString &)> spoken)
{
    bindControl(m, w, t);
    QPointer<MessageLabel> p(w);
    // Prop::Caption comes for every message, also when the text repeats.
    m.PropertyChanged.connect([&m, p, spoken](Prop prop) {
        if (!p || prop != Prop::Caption)
            return;
        p->announce(m.caption());
        if (spoken)
            spoken(m.caption());
    });
}

} // namespace qyr
