#pragma once
// The automation channel: JSON Lines commands on standard input, events on
// standard output. Live before start-up, so start-up's questions can be
// answered. Commands sent while a dialog is open wait until it closes,
// except "answer" and "state".
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <functional>

namespace qyr {

class frmBrowser;
class UiDialogs;
class MainWindow;

class Automation : public QObject {
public:
    Automation(UiDialogs &dialogs, QElapsedTimer clock);
    void attach(frmBrowser &f, MainWindow &w);
    void start(); // begins reading standard input
    void emitEvent(const QString &event, QJsonObject fields = {});
    void ready() { emitEvent(QStringLiteral("ready")); }
    void closed() { emitEvent(QStringLiteral("closed")); }
    // Standard input has ended: no command can come any more.
    std::function<void()> onInputEnded;

private:
    void receive(const QByteArray &line);
    void drain();
    void run(const QJsonObject &cmd);
    QJsonObject state();
    void pressKey(const QJsonObject &cmd);
    void actOnControl(const QJsonObject &cmd);

    UiDialogs &dialogs_;
    QElapsedTimer clock_;
    frmBrowser *f_ = nullptr;
    MainWindow *w_ = nullptr;
    QList<QJsonObject> queue_;
    bool draining_ = false;
};

} // namespace qyr
