#include "uidialogs.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace qyr {

namespace {

QString buttonsName(Buttons b)
{
    switch (b) {
    case Buttons::Ok: return QStringLiteral("ok");
    case Buttons::YesNo: return QStringLiteral("yesno");
    case Buttons::YesNoCancel: return QStringLiteral("yesnocancel");
    }
    return QStringLiteral("ok");
}

QPushButton *addButton(QMessageBox &box, const QString &text, QMessageBox::ButtonRole role, const QString &desc)
{
    QPushButton *b = box.addButton(text, role);
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    b->setAccessibleDescription(desc);
    return b;
}

// The error dialog: caption, "Errore!", "Prg:" with the procedure's name
// text, the error text, the error icon and OK.
class frmErrore : public QDialog {
public:
    frmErrore(const QString &name, const QString &text)
    {
        setWindowTitle(QStringLiteral("LUMO Player - Segnalazioni"));
        setAccessibleName(QStringLiteral("LUMO Player - Segnalazioni"));
        setAccessibleDescription(QStringLiteral("Segnalazione di errore"));
        auto *Image1 = new QLabel(this);
        Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
        Image1->setAccessibleName(QStringLiteral("Icona di errore"));
        auto *Label1 = new QLabel(QStringLiteral("Errore!"), this);
        Label1->setAccessibleName(QStringLiteral("Errore!"));
        auto *Label2 = new QLabel(QStringLiteral("Prg:"), this);
        Label2->setAccessibleName(QStringLiteral("Prg:"));
        auto *lblFunzione = new QLabel(name, this);
        lblFunzione->setObjectName(QStringLiteral("lblFunzione"));
        lblFunzione->setAccessibleName(QStringLiteral("Procedura: ") + name);
        lblFunzione->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        auto *lblErrore = new QLabel(text, this);
        lblErrore->setObjectName(QStringLiteral("lblErrore"));
        lblErrore->setWordWrap(true);
        lblErrore->setAccessibleName(QStringLiteral("Errore: ") + QString(text).replace(QLatin1String("\r\n"), QLatin1String(" ")));
        lblErrore->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        auto *OKButton = new QPushButton(QStringLiteral("OK"), this);
        OKButton->setAccessibleName(QStringLiteral("OK"));
        OKButton->setAccessibleDescription(QStringLiteral("Chiude la segnalazione"));
        OKButton->setDefault(true);
        connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
        auto *top = new QHBoxLayout;
        top->addWidget(Image1);
        top->addWidget(Label1, 1);
        auto *prg = new QHBoxLayout;
        prg->addWidget(Label2);
        prg->addWidget(lblFunzione, 1);
        auto *v = new QVBoxLayout(this);
        v->addLayout(top);
        v->addLayout(prg);
        v->addWidget(lblErrore);
        v->addWidget(OKButton, 0, Qt::AlignRight);
        OKButton->setFocus();
    }
};

} // namespace

void UiDialogs::dismissAll()
{
    dismissed_ = true;
    for (int i = open_.size() - 1; i >= 0; --i)
        if (open_[i].dialog)
            open_[i].dialog->reject();
}

int UiDialogs::run(QDialog *d, const DialogInfo &info)
{
    if (dismissed_)
        return QDialog::Rejected;
    d->setModal(true);
    open_.append(Open{d, info});
    if (onOpen)
        onOpen(info);
    const int r = d->exec();
    for (int i = open_.size() - 1; i >= 0; --i)
        if (open_[i].dialog == d || !open_[i].dialog) {
            open_.removeAt(i);
            break;
        }
    if (onClosed)
        onClosed();
    return r;
}

Answer UiDialogs::message(const QString &title, const QString &text, Buttons buttons, Icon icon)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setAccessibleName(title);
    // Not the text again: a screen reader says the box's text and then its
    // description, so the text was heard twice.
    box.setAccessibleDescription(buttons == Buttons::Ok      ? QStringLiteral("Messaggio del programma")
                                 : buttons == Buttons::YesNo ? QStringLiteral("Domanda: rispondere Sì o No")
                                                             : QStringLiteral("Domanda: rispondere Sì, No o Annulla"));
    switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::None: break;
    }
    QPushButton *ok = nullptr, *yes = nullptr, *no = nullptr, *cancel = nullptr;
    if (buttons == Buttons::Ok)
        ok = addButton(box, QStringLiteral("OK"), QMessageBox::AcceptRole, QStringLiteral("Conferma"));
    else {
        yes = addButton(box, QStringLiteral("&Sì"), QMessageBox::YesRole, QStringLiteral("Risponde sì"));
        no = addButton(box, QStringLiteral("&No"), QMessageBox::NoRole, QStringLiteral("Risponde no"));
        if (buttons == Buttons::YesNoCancel)
            cancel = addButton(box, QStringLiteral("&Annulla"), QMessageBox::RejectRole, QStringLiteral("Annulla"));
    }
    // A question's default is "No": an Enter pressed to clear a page's
    // messages, or pressed once too often, never deletes, overwrites or quits.
    box.setDefaultButton(ok ? ok : no);
    if (cancel)
        box.setEscapeButton(cancel);
    DialogInfo info{QStringLiteral("message"), title, text, QString(), QString(), buttonsName(buttons)};
    box.setProperty("qyrButtons", info.buttons);
    run(&box, info);
    QAbstractButton *c = box.clickedButton();
    if (c && c == yes)
        return Answer::Yes;
    if (c && c == no)
        return Answer::No;
    if (c && c == ok)
        return Answer::Ok;
    // Closed from the title bar or by Escape.
    return buttons == Buttons::Ok ? Answer::Ok : (buttons == Buttons::YesNo ? Answer::No : Answer::Cancel);
}

void UiDialogs::error(const QString &name, const QString &text)
{
    frmErrore d(name, text);
    run(&d, DialogInfo{QStringLiteral("error"), QStringLiteral("LUMO Player - Segnalazioni"), text, name, QString(),
                       QStringLiteral("ok")});
}

namespace {
// Swallows Escape, which would otherwise close the dialog as a cancel.
class EscapeKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        return e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape;
    }
};

// Enter in the text box accepts a typed text and does nothing in an empty
// box; the dialog never sees it, so no default button answers it either
// (the button box makes OK the default when the dialog shows). A command key
// typed there adds nothing to the text.
class EnterInBox : public QObject {
public:
    EnterInBox(QLineEdit *edit, QDialog *d) : QObject(edit), edit_(edit), d_(d) { edit->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const auto *ke = static_cast<QKeyEvent *>(e);
        // A key held with Alt or Ctrl alone is a command (the key map's
        // Alt+6), not text; Ctrl+Alt together is AltGr on Windows, which
        // types @, # and [ on an Italian keyboard.
        const auto held = ke->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
        if ((held == Qt::AltModifier || held == Qt::ControlModifier) && !ke->text().isEmpty() &&
            ke->text().at(0).isPrint())
            return true;
        const int key = ke->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (!edit_->text().isEmpty())
            d_->accept();
        return true;
    }

private:
    QLineEdit *edit_;
    QDialog *d_;
};
} // namespace

std::optional<QString> UiDialogs::input(const QString &title, const QString &label, const QString &text)
{
    QDialog d;
    d.setWindowTitle(title);
    d.setAccessibleName(title);
    auto *lbl = new QLabel(label, &d);
    auto *edit = new QLineEdit(text, &d);
    edit->setAccessibleName(QString(label).remove(QLatin1Char(':')));
    lbl->setBuddy(edit);
    auto *box = new QDialogButtonBox(&d);
    auto *ok = box->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    auto *cancel = box->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    cancel->setAccessibleName(QStringLiteral("Annulla"));
    QObject::connect(box, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    // Neither button answers Enter or Escape by itself (the reader chooses one).
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    new EnterInBox(edit, &d);
    // The whole text selected: what the reader types replaces it.
    edit->selectAll();
    edit->setFocus();
    auto *keepEscape = new EscapeKeeper(&d);
    d.installEventFilter(keepEscape);
    auto *v = new QVBoxLayout(&d);
    v->addWidget(lbl);
    v->addWidget(edit);
    v->addWidget(box);
    d.setProperty("qyrEdit", QVariant::fromValue<QObject *>(edit));
    const int r = run(&d, DialogInfo{QStringLiteral("input"), title, QString(), QString(), label, QStringLiteral("ok")});
    if (r != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

namespace {
// The reader's own way of writing dates: the locale the system names (Qt
// writes the system's dates in the C locale of LC_TIME even when the language
// is Italian), Italian where the system names another language, as the
// program speaks Italian throughout.
QLocale readerLocale()
{
    const QLocale named(QLocale::system().name());
    return named.language() == QLocale::Italian ? named : QLocale(QLocale::Italian, QLocale::Italy);
}

// The chooser's list in Italian: Qt's Italian texts have no word for its
// "Folder", and its dates follow LC_TIME rather than the reader's language.
class ItalianFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (!files || role != Qt::DisplayRole || (index.column() != 2 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == 3)
            return readerLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        const QFileInfo info = files->fileInfo(source);
        if (info.isRoot())
            return QStringLiteral("Unità");
        if (info.isDir())
            return QStringLiteral("Cartella");
        return info.suffix().isEmpty() ? QStringLiteral("File") : QStringLiteral("File %1").arg(info.suffix());
    }
};
} // namespace

// Qt's own folder chooser rather than the desktop's: the same everywhere,
// usable from the keyboard alone, with Italian labels. A folder that will not
// do is refused without closing it: the reader is told why and goes on
// looking from there.
class UiDialogs::FolderChooser : public QFileDialog {
public:
    FolderChooser(UiDialogs &owner, const QString &title, const QString &start,
                  const std::function<QString(const QString &)> &refuse)
        : QFileDialog(nullptr, title, start), owner_(owner), refuse_(refuse)
    {
        setOption(QFileDialog::DontUseNativeDialog, true);
        // The folders, and the zips libraries hand books out in.
        setOption(QFileDialog::ShowDirsOnly, false);
        setFileMode(QFileDialog::Directory);
        setNameFilter(QStringLiteral("Cartelle e libri compressi (*.zip *.daisy *.epub *.ZIP *.DAISY *.EPUB)"));
        setAcceptMode(QFileDialog::AcceptOpen);
        setAccessibleName(title);
        setAccessibleDescription(QStringLiteral("Scegliere la cartella del libro, quella che contiene il file Index.htm, "
                                                "ncc.html o il pacchetto .opf, oppure il file .zip, .daisy o .epub del libro"));
        setLabelText(QFileDialog::LookIn, QStringLiteral("Cerca in:"));
        setLabelText(QFileDialog::FileName, QStringLiteral("Cartella:"));
        setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
        setLabelText(QFileDialog::Accept, QStringLiteral("&Apri"));
        setLabelText(QFileDialog::Reject, QStringLiteral("&Annulla"));
        // The folder the reader enters or leaves is said by its name.
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString &folder) { tell(folder); });
    }

    std::optional<QString> chosen;

    // A folder given by the automation channel, taken as a typed one.
    void choose(const QString &given)
    {
        if (!isVisible())
            return;
        // An address (file://...) is the logic's to read.
        const QString folder = given.contains(QLatin1String("://")) ? given : typedFolder(given);
        if (refused(folder))
            return;
        chosen = folder;
        QDialog::accept();
    }

    // Enter in the folder's box, or the Open button: the folder typed or
    // selected (or a book's Index.htm), else the one shown.
    void accept() override
    {
        const QString typed = nameBox_ ? nameBox_->text().trimmed() : QString();
        // Qt's own meaning for "..": up one folder.
        if (typed == QLatin1String("..")) {
            QFileDialog::accept();
            return;
        }
        const QString folder = typed.isEmpty() ? directory().absolutePath() : typedFolder(typed);
        if (refused(folder))
            return;
        chosen = folder;
        QDialog::accept();
    }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        // Enter in the box chooses what is typed there, also a path ending
        // with "/", for which Qt keeps its Open button disabled.
        if (o == nameBox_ && e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(e)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !nameBox_->text().trimmed().isEmpty()) {
                accept();
                return true;
            }
        }
        return QFileDialog::eventFilter(o, e);
    }

    void showEvent(QShowEvent *e) override
    {
        QFileDialog::showEvent(e);
        if (!prepared_)
            prepareWidgets();
    }

private:
    // Qt makes the chooser's own widgets only as it is first shown.
    void prepareWidgets()
    {
        prepared_ = true;
        setProxyModel(new ItalianFileColumns(this));
        nameBox_ = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (nameBox_) {
            nameBox_->installEventFilter(this);
            // Qt writes in the box the entry selected in the list. A selection
            // it makes of itself while the reader is elsewhere (a folder's
            // listing arriving while a refusal is shown) would be taken for a
            // name the reader typed: only the reader's own choice stays.
            connect(nameBox_, &QLineEdit::textChanged, this, [this] {
                if (nameBox_->text().isEmpty() || nameBox_->hasFocus())
                    return;
                for (QAbstractItemView *view : findChildren<QAbstractItemView *>())
                    if (view->hasFocus())
                        return;
                nameBox_->clear();
            });
        }
        // The box of the folder shown is heard with its label and the folder.
        // Qt names it by the folder, which the label hides, and a screen
        // reader finds no value in it: the folder is its description.
        auto *lookIn = findChild<QComboBox *>(QStringLiteral("lookInCombo"));
        if (auto *label = findChild<QLabel *>(QStringLiteral("lookInLabel")); label && lookIn)
            label->setBuddy(lookIn);
        if (lookIn) {
            const auto describe = [lookIn](const QString &) { lookIn->setAccessibleDescription(lookIn->currentText()); };
            connect(lookIn, &QComboBox::currentTextChanged, lookIn, describe);
            describe(QString());
        }
    }

    // A typed or given path: "~" is the home folder, a relative one is
    // inside the folder shown; a trailing separator changes nothing.
    QString typedFolder(const QString &typed) const
    {
        QString path = typed;
        if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
            path = QDir::homePath() + path.mid(1);
        if (QDir::isRelativePath(path))
            path = directory().absoluteFilePath(path);
        return QDir::cleanPath(path);
    }

    // The reader is told why the folder will not do, and the chooser shows it.
    bool refused(const QString &folder)
    {
        const QString why = refuse_ ? refuse_(folder) : QString();
        if (why.isEmpty())
            return false;
        owner_.message(windowTitle(), why, Buttons::Ok, Icon::Warning);
        if (nameBox_)
            nameBox_->clear();
        if (QFileInfo(folder).isDir())
            setDirectory(folder);
        tell(directory().absolutePath());
        owner_.reopened(this, directory().absolutePath());
        return true;
    }

    void tell(const QString &folder)
    {
        QString name = QDir(folder).dirName();
        if (name.isEmpty())
            name = folder;
        if (owner_.say)
            owner_.say(QStringLiteral("Cartella %1").arg(name));
    }

    UiDialogs &owner_;
    std::function<QString(const QString &)> refuse_;
    bool prepared_ = false;
    QLineEdit *nameBox_ = nullptr;
};

std::optional<QString> UiDialogs::chooseFolder(const QString &title, const QString &start,
                                               const std::function<QString(const QString &)> &refuse)
{
    FolderChooser d(*this, title, start, refuse);
    const int r = run(&d, DialogInfo{QStringLiteral("folder"), title, start, QString(), QStringLiteral("Cartella:"),
                                     QStringLiteral("ok")});
    if (r != QDialog::Accepted)
        return std::nullopt;
    return d.chosen;
}

// The chooser stays open after a refusal: the automation channel sees it
// again, now in the folder refused.
void UiDialogs::reopened(QDialog *d, const QString &folder)
{
    for (Open &o : open_)
        if (o.dialog == d) {
            o.info.text = folder;
            if (onOpen)
                onOpen(o.info);
        }
}

bool UiDialogs::answer(const QString &button, const QString &text, bool hasText)
{
    if (open_.isEmpty() || !open_.last().dialog)
        return false;
    QDialog *d = open_.last().dialog;
    const DialogInfo &info = open_.last().info;
    if (info.kind == QLatin1String("folder")) {
        if (!hasText && button != QLatin1String("cancel"))
            return false;
        auto *chooser = dynamic_cast<FolderChooser *>(d);
        if (!hasText || !chooser) {
            d->reject();
            return true;
        }
        // Once this answer has returned: a refusal opens a message box of its own.
        QPointer<QDialog> alive(d);
        QTimer::singleShot(0, d, [alive, chooser, text] {
            if (alive)
                chooser->choose(text);
        });
        return true;
    }
    if (info.kind == QLatin1String("input")) {
        auto *edit = qobject_cast<QLineEdit *>(d->property("qyrEdit").value<QObject *>());
        if (hasText && edit) {
            edit->setText(text);
            d->accept();
            return true;
        }
        if (button == QLatin1String("cancel")) {
            d->reject();
            return true;
        }
        if (button == QLatin1String("ok")) {
            d->accept();
            return true;
        }
        return false;
    }
    if (auto *box = qobject_cast<QMessageBox *>(d)) {
        const QString wanted = button == QLatin1String("yes")   ? QStringLiteral("Sì")
                               : button == QLatin1String("no")  ? QStringLiteral("No")
                               : button == QLatin1String("ok")  ? QStringLiteral("OK")
                               : button == QLatin1String("cancel") ? QStringLiteral("Annulla")
                                                                    : QString();
        for (QAbstractButton *b : box->buttons()) {
            if (QString(b->text()).remove(QLatin1Char('&')) == wanted) {
                b->click();
                return true;
            }
        }
        return false;
    }
    if (button != QLatin1String("ok"))
        return false;
    d->accept();
    return true;
}

} // namespace qyr
