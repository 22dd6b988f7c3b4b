#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#ifdef Q_OS_WIN
#include <windows.h>
#include <uiautomation.h>
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

class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override
    {
        auto *box = static_cast<QComboBox *>(widget());
        if (t == QAccessible::Name && !box->accessibleName().isEmpty())
            return box->accessibleName();
        if (t == QAccessible::Value)
            return box->currentText();
        return QAccessibleWidget::text(t);
    }
};

// Asked for every object of the program, the web engine's own included
// (some while they are still being built): only the class name is looked at
// until it names one of ours.
QAccessibleInterface *factory(const QString &key, QObject *object)
{
    const bool label = key == QLatin1String("qyr::MessageLabel");
    if (!object || (!label && key != QLatin1String("qyr::NamedComboBox")))
        return nullptr;
    auto *w = static_cast<QWidget *>(object);
    if (label)
        return new MessageAccessible(w);
    return new NamedComboAccessible(w);
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
        uia ? reinterpret_cast<Raise>(reinterpret_cast<void *>(GetProcAddress(uia, "UiaRaiseNotificationEvent"))) : nullptr;
    using Host = HRESULT(WINAPI *)(HWND, IRawElementProviderSimple **);
    static const auto host =
        uia ? reinterpret_cast<Host>(reinterpret_cast<void *>(GetProcAddress(uia, "UiaHostProviderFromHwnd"))) : nullptr;
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
    // Shown anew once the panel around it is on screen: the model shows the
    // panel just after it sets the text.
    QPointer<MessageLabel> self(this);
    QTimer::singleShot(0, this, [self, text] {
        if (!self || !self->parentWidget() || !self->parentWidget()->isVisible() || self->text() != text)
            return;
        self->hide();
        self->show();
#ifdef Q_OS_WIN
        raiseWindowsNotification(self, text);
#endif
    });
}

void installAccessibility() { QAccessible::installFactory(factory); }

} // namespace qyr
