#include "automation.h"
#include "../platform/browser/webbrowser.h"
#include "../platform/ui/uidialogs.h"
#include "../shell/frmbrowser.h"
#include "accessibility.h"
#include "mainwindow.h"

#include "keycodes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qyr {

Automation::Automation(UiDialogs &dialogs, QElapsedTimer clock) : dialogs_(dialogs), clock_(clock)
{
    dialogs_.onOpen = [this](const DialogInfo &d) {
        QJsonObject o{{QStringLiteral("kind"), d.kind},
                      {QStringLiteral("title"), d.title},
                      {QStringLiteral("text"), d.text},
                      {QStringLiteral("buttons"), d.buttons}};
        if (d.kind == QLatin1String("error"))
            o.insert(QStringLiteral("name"), d.name);
        if (d.kind == QLatin1String("input") || d.kind == QLatin1String("folder"))
            o.insert(QStringLiteral("label"), d.label);
        emitEvent(QStringLiteral("dialog"), o);
    };
    dialogs_.onClosed = [this] { QTimer::singleShot(0, this, [this] { drain(); }); };
}

void Automation::attach(frmBrowser &f, MainWindow &w)
{
    f_ = &f;
    w_ = &w;
    f.form.PropertyChanged.connect([this, &f](Prop prop) {
        if (prop == Prop::Caption)
            emitEvent(QStringLiteral("caption"), {{QStringLiteral("text"), f.caption()}});
    });
    f.settings.Changed.connect([this](const QString &section, const QString &key, const QString &value, bool deleted) {
        QJsonObject o{{QStringLiteral("section"), section}, {QStringLiteral("key"), key}};
        if (deleted)
            o.insert(QStringLiteral("deleted"), true);
        else
            o.insert(QStringLiteral("value"), value);
        emitEvent(QStringLiteral("setting"), o);
    });
    // Each time the message is shown to screen readers, which say it each
    // time. Whether the text stays is decided just after it is shown.
    if (auto *osd = w.findChild<MessageLabel *>(f.lblOSD.name()))
        QObject::connect(osd, &MessageLabel::shown, this, [this, &f](const QString &text) {
            QTimer::singleShot(0, this, [this, &f, text] {
                emitEvent(QStringLiteral("osd"),
                          {{QStringLiteral("text"), text}, {QStringLiteral("keep"), !f.TimerOSD.enabled()}});
            });
        });
    // Connected after the logic's own handlers, so the outcome is known.
    f.ports.browser.BeforeNavigate2.connect([this](const QString &url, bool &cancel) {
        emitEvent(QStringLiteral("navigate"), {{QStringLiteral("url"), url}, {QStringLiteral("cancelled"), cancel}});
    });
    f.ports.browser.DocumentComplete.connect([this, &f](const QString &url) {
        emitEvent(QStringLiteral("document"),
                  {{QStringLiteral("url"), url}, {QStringLiteral("title"), f.ports.browser.title()}});
    });
    w.onSpoken = [this](const QString &text) { emitEvent(QStringLiteral("voice"), {{QStringLiteral("text"), text}}); };
    // A book's phrase read by the voice: its words and the phrase's name.
    f.daisyReading.Voiced.connect([this](const QString &text, const QString &phrase) {
        emitEvent(QStringLiteral("voice"), {{QStringLiteral("text"), text}, {QStringLiteral("phrase"), phrase}});
    });
    w.browser().onFollowMissed = [] { std::fprintf(stderr, "automazione: la pagina non ha quel collegamento\n"); };
    f.frmOSD.PropertyChanged.connect([this, &f](Prop prop) {
        if (prop == Prop::Visible && !f.frmOSD.visible())
            emitEvent(QStringLiteral("osd-hidden"));
    });
}

void Automation::emitEvent(const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), event);
    fields.insert(QStringLiteral("t"), double(clock_.elapsed()));
    const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Automation::start()
{
    QPointer<Automation> self(this);
    auto deliver = [self](const std::string &line) {
        const QByteArray bytes = QByteArray::fromStdString(line);
        QMetaObject::invokeMethod(
            self.data(),
            [self, bytes] {
                if (self)
                    self->receive(bytes);
            },
            Qt::QueuedConnection);
    };
    // After the last line, in order with the lines before it.
    auto ended = [self] {
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self && self->onInputEnded)
                    self->onInputEnded();
            },
            Qt::QueuedConnection);
    };
#ifdef Q_OS_UNIX
    // The commands are read from a descriptor of our own, and descriptor 0
    // is left on /dev/null: a library that closes descriptor 0 by mistake
    // (libmpv's Vulkan probe did) then cuts neither the channel nor, once the
    // number is reused, a connection of someone else.
    const int in = fcntl(0, F_DUPFD_CLOEXEC, 3);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in >= 0 && null >= 0) {
        dup2(null, 0);
        close(null);
        std::thread([in, deliver, ended] {
            FILE *f = fdopen(in, "r");
            char *buf = nullptr;
            size_t cap = 0;
            ssize_t n;
            while (f && (n = getline(&buf, &cap, f)) >= 0)
                deliver(std::string(buf, size_t(n > 0 && buf[n - 1] == '\n' ? n - 1 : n)));
            free(buf);
            ended();
        }).detach();
        return;
    }
    if (null >= 0)
        close(null);
    if (in >= 0)
        close(in);
#endif
    std::thread([deliver, ended] {
        std::string line;
        while (std::getline(std::cin, line))
            deliver(line);
        ended();
    }).detach();
}

void Automation::receive(const QByteArray &line)
{
    if (line.trimmed().isEmpty())
        return;
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &perr);
    if (!doc.isObject()) {
        std::fprintf(stderr, "automazione: riga non valida: %s\n", line.constData());
        return;
    }
    const QJsonObject cmd = doc.object();
    const QString name = cmd.value(QStringLiteral("cmd")).toString();
    // A dialog waits for its answer; the state may always be asked.
    if (name == QLatin1String("answer") || name == QLatin1String("state")) {
        run(cmd);
        return;
    }
    queue_.append(cmd);
    drain();
}

void Automation::drain()
{
    if (draining_)
        return;
    draining_ = true;
    while (!queue_.isEmpty() && !dialogs_.isOpen())
        run(queue_.takeFirst());
    draining_ = false;
}

void Automation::run(const QJsonObject &cmd)
{
    const QString name = cmd.value(QStringLiteral("cmd")).toString();
    if (name == QLatin1String("answer")) {
        const bool hasText = cmd.contains(QStringLiteral("text"));
        if (!dialogs_.answer(cmd.value(QStringLiteral("button")).toString(),
                             cmd.value(QStringLiteral("text")).toString(), hasText))
            std::fprintf(stderr, "automazione: nessuna finestra di dialogo a cui rispondere così\n");
    } else if (name == QLatin1String("state")) {
        emitEvent(QStringLiteral("state"), state());
    } else if (name == QLatin1String("wait")) {
        const int ms = cmd.value(QStringLiteral("ms")).toInt();
        QTimer::singleShot(ms, this, [this] { emitEvent(QStringLiteral("waited")); });
    } else if (name == QLatin1String("setting") && f_) {
        const QString section = cmd.value(QStringLiteral("section")).toString();
        const QString key = cmd.value(QStringLiteral("key")).toString();
        Guard(f_->er, QStringLiteral("automazione: setting"), [&] {
            if (cmd.value(QStringLiteral("deleted")).toBool())
                f_->settings.Delete(f_->strAppName, section, key);
            else
                f_->settings.Save(f_->strAppName, section, key,
                                  cmd.value(QStringLiteral("value")).toVariant().toString());
        });
    } else if (name == QLatin1String("key") && w_) {
        pressKey(cmd);
    } else if (name == QLatin1String("control") && w_) {
        actOnControl(cmd);
    } else if (name == QLatin1String("follow") && w_) {
        if (!w_->browser().follow(cmd.value(QStringLiteral("name")).toString(),
                                  cmd.value(QStringLiteral("href")).toString()))
            std::fprintf(stderr, "automazione: nessuna pagina caricata\n");
    } else if (name == QLatin1String("navigate") && f_) {
        f_->ports.browser.navigate(cmd.value(QStringLiteral("url")).toString());
    } else if (name == QLatin1String("quit") && w_) {
        w_->close();
    } else {
        std::fprintf(stderr, "automazione: comando sconosciuto: %s\n", qPrintable(name));
    }
}

// A real key event, delivered where the keyboard would deliver it: to the
// widget named (or, by default, the one with the focus in the main window).
// With "scan" it also carries the key's native codes, as a keyboard's event
// does, and "qtkey" and "text" can give what the layout puts on the key: so
// it is read the way a real key is, by its position where that counts.
void Automation::pressKey(const QJsonObject &cmd)
{
    const int code = cmd.value(QStringLiteral("code")).toInt();
    const int mask = cmd.value(QStringLiteral("mask")).toInt();
    const QString target = cmd.value(QStringLiteral("target")).toString();
    QWidget *to = nullptr;
    if (!target.isEmpty()) {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (!to && top->objectName() == target)
                to = top;
        if (!to)
            to = w_->findChild<QWidget *>(target);
    } else {
        to = w_->focusWidget() ? w_->focusWidget() : w_;
    }
    const int key = cmd.value(QStringLiteral("qtkey")).toInt(keycodes::toQt(code));
    if (!to || key == Qt::Key_unknown) {
        std::fprintf(stderr, "automazione: tasto %d o destinatario \"%s\" sconosciuto\n", code, qPrintable(target));
        return;
    }
    const Qt::KeyboardModifiers mods = keycodes::modifiersFromMask(mask);
    const QString text = cmd.value(QStringLiteral("text")).toString();
    const quint32 scan = quint32(cmd.value(QStringLiteral("scan")).toInt());
    // Windows's native key is the virtual-key code itself; X11's key symbol
    // is not read here, nor are the native modifiers.
    const quint32 native = keycodes::kThisPlatform == keycodes::Platform::Windows && scan ? quint32(code) : 0;
    QKeyEvent press(QEvent::KeyPress, key, mods, scan, native, 0, text);
    QKeyEvent release(QEvent::KeyRelease, key, mods, scan, native, 0, text);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

// A reader's action on one of the window's controls, done on its widget so
// that it takes the same way as a real click or edit.
void Automation::actOnControl(const QJsonObject &cmd)
{
    QString name = cmd.value(QStringLiteral("name")).toString();
    const QString action = cmd.value(QStringLiteral("action")).toString();
    const QJsonValue value = cmd.value(QStringLiteral("value"));
    if (cmd.contains(QStringLiteral("index")) && !cmd.contains(QStringLiteral("value")) &&
        !name.contains(QLatin1Char('(')) && !w_->findChild<QWidget *>(name))
        name += QStringLiteral("(%1)").arg(cmd.value(QStringLiteral("index")).toInt());
    auto *w = w_->findChild<QWidget *>(name);
    auto fail = [&](const char *why) {
        std::fprintf(stderr, "automazione: control %s (%s): %s\n", qPrintable(name), qPrintable(action), why);
    };
    if (!w)
        return fail("controllo sconosciuto");
    if (!w->isEnabled())
        return fail("controllo disattivato");
    const int row =
        cmd.contains(QStringLiteral("index")) ? cmd.value(QStringLiteral("index")).toInt() : value.toInt(-1);
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (action == QLatin1String("set") && b->isCheckable() && b->isChecked() == value.toVariant().toBool())
            return;
        b->click();
    } else if (auto *le = qobject_cast<QLineEdit *>(w)) {
        const QString text = value.toVariant().toString();
        le->setText(text);
        emit le->textEdited(text); // as if typed
        if (action == QLatin1String("click") || action == QLatin1String("dblclick"))
            emit le->returnPressed();
        // "type" leaves the entry unfinished, as keys typed one by one do;
        // any other action is a finished entry, as leaving the box is.
        if (action != QLatin1String("type"))
            emit le->editingFinished();
    } else if (auto *list = qobject_cast<QListWidget *>(w)) {
        if (row < 0 || row >= list->count())
            return fail("voce inesistente");
        list->setCurrentRow(row);
        if (action == QLatin1String("dblclick"))
            emit list->itemDoubleClicked(list->item(row));
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const QString text = value.isString() ? value.toString() : combo->itemText(row);
        combo->setCurrentText(text);
        emit combo->textActivated(text);
    } else {
        fail("azione non possibile su questo controllo");
    }
}

QJsonObject Automation::state()
{
    QJsonObject s;
    if (!f_)
        return s;
    frmBrowser &f = *f_;
    s.insert(QStringLiteral("book"), f.books.folder());
    s.insert(QStringLiteral("url"), f.ports.browser.locationURL());
    s.insert(QStringLiteral("caption"), f.caption());
    if (f.daisyReading.active()) {
        // A DAISY book: where the reading is in the book itself.
        DaisyReading &d = f.daisyReading;
        s.insert(QStringLiteral("format"), d.formatName());
        s.insert(QStringLiteral("heading"), d.headingText());
        s.insert(QStringLiteral("level"), d.level());
        s.insert(QStringLiteral("page"), d.pageLabel());
        s.insert(QStringLiteral("phrase"), d.phraseName());
        s.insert(QStringLiteral("bookTime"), d.bookTime());
        s.insert(QStringLiteral("shown"), f.daisyText.shown());
        s.insert(QStringLiteral("marked"), f.ports.browser.highlighted());
    } else {
        s.insert(QStringLiteral("page"), f.ports.browser.hasDocument() ? f.urls.Section() : QString());
    }
    const bool player = f.oPlayer && f.oPlayer->hasCurrentPlayer();
    s.insert(QStringLiteral("file"), player ? f.oPlayer->FileName() : QString());
    s.insert(QStringLiteral("position"), player ? f.oPlayer->CurrentPosition() : 0.0);
    s.insert(QStringLiteral("duration"), player ? f.oPlayer->Duration().toDouble() : 0.0);
    s.insert(QStringLiteral("playing"), player ? f.oPlayer->IsPlaying() : false);
    s.insert(QStringLiteral("rate"), player ? double(f.oPlayer->Rate()) : 0.0);
    s.insert(QStringLiteral("volume"), player ? f.oPlayer->Volume().toInt() : 0);
    s.insert(QStringLiteral("audioOff"), f.feedback.audioOff());
    s.insert(QStringLiteral("version"), f.oPlayer ? int(f.oPlayer->Versione()) : -1);
    QJsonObject vis;
    for (const Control *c : std::initializer_list<const Control *>{&f.frmconfigurazione, &f.frmOSD, &f.fraMarcatori,
                                                                   &f.frmImpExp, &f.fraDebug, &f.ListMarkers})
        vis.insert(c->name(), c->visible());
    s.insert(QStringLiteral("visible"), vis);
    s.insert(QStringLiteral("list"), QJsonArray::fromStringList(f.ListMarkers.items()));
    s.insert(QStringLiteral("selected"), f.ListMarkers.listIndex());
    s.insert(QStringLiteral("osd"), QJsonObject{{QStringLiteral("visible"), f.frmOSD.visible()},
                                                {QStringLiteral("text"), f.lblOSD.caption()}});
    // Where the keyboard is: the control's name, and its accessible name as
    // a screen reader says it.
    const QWidget *focus = w_ ? w_->focusWidget() : nullptr;
    s.insert(QStringLiteral("focus"),
             QJsonObject{{QStringLiteral("name"), focus ? focus->objectName() : QString()},
                         {QStringLiteral("accessible"), focus ? focus->accessibleName() : QString()},
                         {QStringLiteral("shown"), focus ? focus->isVisible() : false}});
    // The page's text as the screen reader reads it, and the line the caret is in.
    if (const auto *t = qobject_cast<const QTextEdit *>(w_ ? w_->browser().textView() : nullptr)) {
        const QTextCursor c = t->textCursor();
        s.insert(QStringLiteral("text"), QJsonObject{{QStringLiteral("line"), c.block().text()},
                                                     {QStringLiteral("caret"), c.position()},
                                                     {QStringLiteral("all"), t->toPlainText()}});
    }
    return s;
}

} // namespace qyr
