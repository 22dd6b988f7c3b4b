#pragma once
// Control models: the properties the program reads and writes on the main
// window's controls. Setting a property by program raises the control's
// change handler synchronously, before the setter returns, as a reader's
// edit would (and only when the value really changes). The widget layer
// mirrors each model in a real widget, in both directions.
#include "signal.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace qyr {

class ITimerService;

// The properties a model reports as changed to the widget layer. The binders
// switch over them without a default, so a property added here and bound
// nowhere is a compiler warning (-Wswitch), and a misspelled one an error.
enum class Prop {
    Visible,
    Enabled,
    Geometry, // left, top, width or height
    ToolTip,
    Caption,
    Text,      // TextBox
    Value,     // CheckBox
    Items,     // ListBox, PathList
    ListIndex, // ListBox, PathList
    TabStop,   // ListBox
    Path,      // PathList
    Pattern,   // PathList
};

class Control {
public:
    explicit Control(QString name, QString accessibleName = QString(), QString description = QString());
    virtual ~Control() = default;
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    const QString &name() const { return name_; }
    const QString &accessibleName() const { return accessibleName_; }
    const QString &description() const { return description_; }

    bool visible() const { return visible_; }
    void setVisible(bool v);
    bool enabled() const { return enabled_; }
    void setEnabled(bool v);
    // Geometry in twips, single precision like the layout arithmetic.
    float left() const { return left_; }
    float top() const { return top_; }
    float width() const { return width_; }
    float height() const { return height_; }
    void setLeft(float v);
    void setTop(float v);
    void setWidth(float v);
    void setHeight(float v);
    void setGeometry(float l, float t, float w, float h);
    const QString &toolTip() const { return toolTip_; }
    void setToolTip(const QString &t);
    const QString &caption() const { return caption_; }
    void setCaption(const QString &c);

    // For the widget layer: which property changed.
    Signal<Prop> PropertyChanged;
    // Raises PropertyChanged even though the value is the same (a repeated
    // message is announced again).
    void notifyChanged(Prop prop) { changed(prop); }

protected:
    void changed(Prop prop) { PropertyChanged(prop); }

private:
    QString name_, accessibleName_, description_;
    bool visible_ = true;
    bool enabled_ = true;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    QString toolTip_, caption_;
};

using Panel = Control;
using Label = Control;

class TextBox : public Control {
public:
    using Control::Control;
    const QString &text() const { return text_; }
    void setText(const QString &t);
    Signal<> Change;
    // The reader has finished an entry: left the box, or pressed Enter in it.
    Signal<> EditingDone;

private:
    QString text_;
};

class CheckBox : public Control {
public:
    using Control::Control;
    int value() const { return value_; } // 0 unchecked, 1 checked
    void setValue(int v);
    Signal<> Click;

private:
    int value_ = 0;
};

class Button : public Control {
public:
    using Control::Control;
    void click() { Click(); }
    Signal<> Click;
};

// One group of option buttons, indexed like a control array. Selecting one
// clears the others and raises Click with the index of the one selected.
class OptionGroup {
public:
    OptionGroup(QString name, std::vector<Control *> buttons);
    Control &button(int index) { return *buttons_.at(size_t(index)); }
    int count() const { return int(buttons_.size()); }
    const QString &name() const { return name_; }
    int selected() const { return selected_; }
    void select(int index);
    Signal<int> Click;
    Signal<> SelectionChanged; // for the widget layer

private:
    QString name_;
    std::vector<Control *> buttons_;
    int selected_ = 0;
};

// What the list box and the path lists share: items and the selected one.
class ItemList : public Control {
public:
    using Control::Control;
    const QStringList &items() const { return items_; }
    int listCount() const { return int(items_.size()); }
    QString itemText(int i) const { return items_.value(i); }
    int listIndex() const { return index_; }
    void setListIndex(int i); // raises Click when it changes
    Signal<> Click;

protected:
    QStringList items_;
    int index_ = -1;
};

class ListBox : public ItemList {
public:
    using ItemList::ItemList;
    void addItem(const QString &item);
    void removeItem(int index);
    void clear();
    void setTabStop(int dialogUnits);
    int tabStop() const { return tabStop_; }
    // Raised by the widget layer for a double click and for a key pressed
    // while the list has the focus (virtual-key code, mask 1 Shift, 2 Ctrl, 4 Alt).
    Signal<> DblClick;
    Signal<qint16, qint16> KeyDown;

private:
    int tabStop_ = 0;
};

// Drive, folder and file lists of the import/export panel.
class PathList : public ItemList {
public:
    using ItemList::ItemList;
    const QString &path() const { return path_; }
    void setPath(const QString &p); // raises Change when it changes
    const QString &pattern() const { return pattern_; }
    void setPattern(const QString &p);
    void setItems(const QStringList &items);
    Signal<> Change;

private:
    QString path_, pattern_;
};

class TimerModel {
public:
    TimerModel(QString name, int intervalMs, ITimerService *service);
    ~TimerModel();
    TimerModel(const TimerModel &) = delete;
    TimerModel &operator=(const TimerModel &) = delete;
    const QString &name() const { return name_; }
    int interval() const { return interval_; }
    void setInterval(int ms); // restarts the count when running
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    void setService(ITimerService *s) { service_ = s; }
    void fire() { Timer(); } // called by the timer service
    Signal<> Timer;

private:
    QString name_;
    int interval_;
    bool enabled_ = false;
    ITimerService *service_;
};

} // namespace qyr
