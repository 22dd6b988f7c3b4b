#include "controls.h"
#include "errors.h"
#include "pump.h"

namespace qyr {

Control::Control(QString name, QString accessibleName, QString description)
    : name_(std::move(name)), accessibleName_(std::move(accessibleName)), description_(std::move(description))
{
}

#define QYR_SET(field, v, prop)                                                                     \
    do {                                                                                             \
        if (field == v)                                                                              \
            return;                                                                                  \
        field = v;                                                                                   \
        changed(prop);                                                                               \
    } while (0)

void Control::setVisible(bool v) { QYR_SET(visible_, v, "visible"); }
void Control::setEnabled(bool v) { QYR_SET(enabled_, v, "enabled"); }
void Control::setLeft(float v) { QYR_SET(left_, v, "geometry"); }
void Control::setTop(float v) { QYR_SET(top_, v, "geometry"); }
// A window system refuses negative sizes; so do the models, so that the
// layout reports a window too small for its rules.
void Control::setWidth(float v)
{
    if (v < 0)
        throw QyrError(err::InvalidPropertyValue);
    QYR_SET(width_, v, "geometry");
}

void Control::setHeight(float v)
{
    if (v < 0)
        throw QyrError(err::InvalidPropertyValue);
    QYR_SET(height_, v, "geometry");
}
void Control::setToolTip(const QString &t) { QYR_SET(toolTip_, t, "toolTip"); }
void Control::setCaption(const QString &c) { QYR_SET(caption_, c, "caption"); }

void Control::setGeometry(float l, float t, float w, float h)
{
    setLeft(l);
    setTop(t);
    setWidth(w);
    setHeight(h);
}

void TextBox::setText(const QString &t)
{
    if (text_ == t)
        return;
    text_ = t;
    changed("text");
    Change();
}

void CheckBox::setValue(int v)
{
    if (value_ == v)
        return;
    value_ = v;
    changed("value");
    Click();
}

OptionGroup::OptionGroup(QString name, std::vector<Control *> buttons)
    : name_(std::move(name)), buttons_(std::move(buttons))
{
}

void OptionGroup::select(int index)
{
    if (index < 0 || index >= count() || index == selected_)
        return;
    selected_ = index;
    SelectionChanged();
    Click(index);
}

void ListBox::addItem(const QString &item)
{
    items_.append(item);
    changed("items");
}

void ListBox::removeItem(int index)
{
    if (index < 0 || index >= items_.size())
        return;
    items_.removeAt(index);
    if (index_ >= items_.size())
        index_ = int(items_.size()) - 1;
    changed("items");
}

void ListBox::clear()
{
    items_.clear();
    index_ = -1;
    changed("items");
}

void ItemList::setListIndex(int i)
{
    if (i < -1 || i >= items_.size() || i == index_)
        return;
    index_ = i;
    changed("listIndex");
    Click();
}

void ListBox::setTabStop(int dialogUnits)
{
    tabStop_ = dialogUnits;
    changed("tabStop");
}

void PathList::setPath(const QString &p)
{
    if (p == path_)
        return;
    path_ = p;
    changed("path");
    Change();
}

void PathList::setPattern(const QString &p)
{
    if (p == pattern_)
        return;
    pattern_ = p;
    changed("pattern");
}

void PathList::setItems(const QStringList &items)
{
    items_ = items;
    index_ = -1;
    changed("items");
}

TimerModel::TimerModel(QString name, int intervalMs, ITimerService *service)
    : name_(std::move(name)), interval_(intervalMs), service_(service)
{
}

TimerModel::~TimerModel()
{
    if (service_)
        service_->forget(this);
}

void TimerModel::setInterval(int ms)
{
    interval_ = ms;
    if (enabled_ && service_)
        service_->start(this);
}

void TimerModel::setEnabled(bool on)
{
    if (on == enabled_)
        return;
    enabled_ = on;
    if (!service_)
        return;
    if (on)
        service_->start(this);
    else
        service_->stop(this);
}

} // namespace qyr
