#include "controls.h"
#include "errors.h"
#include "pump.h"

namespace qyr {

Control::Control(QString name, QString accessibleName, QString description)
    : name_(std::move(name)), accessibleName_(std::move(accessibleName)), description_(std::move(description))
{
}

#define QYR_SET(field, v, prop)                                                                                        \
    do {                                                                                                               \
        if (field == v)                                                                                                \
            return;                                                                                                    \
        field = v;                                                                                                     \
        changed(prop);                                                                                                 \
    } while (0)

void Control::setVisible(bool v) { QYR_SET(visible_, v, Prop::Visible); }
void Control::setEnabled(bool v) { QYR_SET(enabled_, v, Prop::Enabled); }
void Control::setLeft(float v) { QYR_SET(left_, v, Prop::Geometry); }
void Control::setTop(float v) { QYR_SET(top_, v, Prop::Geometry); }
// A window system refuses negative sizes; so do the models, so that the
// layout reports a window too small for its rules.
void Control::setWidth(float v)
{
    if (v < 0)
        throw QyrError(err::InvalidPropertyValue);
    QYR_SET(width_, v, Prop::Geometry);
}

void Control::setHeight(float v)
{
    if (v < 0)
        throw QyrError(err::InvalidPropertyValue);
    QYR_SET(height_, v, Prop::Geometry);
}
void Control::setToolTip(const QString &t) { QYR_SET(toolTip_, t, Prop::ToolTip); }
void Control::setCaption(const QString &c) { QYR_SET(caption_, c, Prop::Caption); }

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
    changed(Prop::Text);
    Change();
}

void CheckBox::setValue(int v)
{
    if (value_ == v)
        return;
    value_ = v;
    changed(Prop::Value);
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
    changed(Prop::Items);
}

void ListBox::removeItem(int index)
{
    if (index < 0 || index >= items_.size())
        return;
    items_.removeAt(index);
    if (index_ >= items_.size())
        index_ = int(items_.size()) - 1;
    changed(Prop::Items);
}

void ListBox::clear()
{
    items_.clear();
    index_ = -1;
    changed(Prop::Items);
}

void ItemList::setListIndex(int i)
{
    if (i < -1 || i >= items_.size() || i == index_)
        return;
    index_ = i;
    changed(Prop::ListIndex);
    Click();
}

void ListBox::setTabStop(int dialogUnits)
{
    tabStop_ = dialogUnits;
    changed(Prop::TabStop);
}

void PathList::setPath(const QString &p)
{
    if (p == path_)
        return;
    path_ = p;
    changed(Prop::Path);
    Change();
}

void PathList::setPattern(const QString &p)
{
    if (p == pattern_)
        return;
    pattern_ = p;
    changed(Prop::Pattern);
}

void PathList::setItems(const QStringList &items)
{
    items_ = items;
    index_ = -1;
    changed(Prop::Items);
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
