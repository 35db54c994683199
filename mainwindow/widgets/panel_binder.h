#pragma once
// PanelBinder: the one place where a model panel's value struct (PanelP6, PanelP7, PanelP5) meets
// its widgets. It walks the panel's control table, so a new control is one table row and one
// widget with that objectName, nothing else.
//
// - The struct holds the truth: every change of a widget, the user's or the program's (setText,
//   setCurrentIndex, setChecked), is written through to its value at once, so whoever reads the
//   struct sees what the widgets show without asking them.
// - toWidgets() shows every value and every rule-driven state (enabled, visible, label colour);
//   the change signals it causes itself are not written back.
// - An edit whose text equals the text it was last shown with gets back the bytes it was shown
//   from, even when they are not valid GBK and would not survive a trip through the shown text,
//   and also after the user changed the text and changed it back: a read followed by an
//   unchanged save sends back what was read.
// - fromWidgets() reads every widget again, as the write-through keeps them (a test checks a
//   fresh struct against the .ui's design with it).
// - A user's choice in a list or click on a check box runs the control's rule on the struct and
//   shows the result; the rule itself lives in the protocol layer, never here.
// - Picking entry 1 of a baud-rate list asks for a custom rate (AskCustomBaudRate).

#include "protocol/panel_controls.h"

#include <functional>
#include <QColor>
#include <QHash>
#include <QObject>
#include <QScopedValueRollback>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

namespace r2 {

inline const QColor SilverLabel{192, 192, 192};

// What an edit was last shown: the text as the widget holds it and the bytes it was shown from,
// remembered so that a text equal to it keeps those bytes.
struct ShownText {
    QString text;
    std::string bytes;
};
using ShownTexts = QHash<QString, ShownText>;

// Shows one control's value on its widget (QLineEdit, QPlainTextEdit, QComboBox, QCheckBox).
void ShowControlValue(QWidget& widget, const ControlValueRef& value, ShownTexts& shown);
// Reads one widget back into the control's value.
void ReadControlValue(const QWidget& widget, ControlValueRef& value, const ShownTexts& shown);
// Applies a rule-driven state; labels take their colour from it. A widget held disabled stays
// disabled whatever the state says.
void ShowControlState(QWidget& widget, const ControlState& state);
// Holds a widget disabled while an action runs (a save button during its save), so that showing
// a panel meanwhile cannot enable it; releasing the hold enables it again.
void HoldDisabled(QWidget& widget, bool hold);
// The custom baud-rate dialog: asks with the list's entry 0 as default and applies the answer
// (a cancelled box answers with the default). `list` then holds the outcome.
void AskCustomBaudRate(QWidget* parent, BaudRateList& list);

class PanelBinderBase : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PanelBinderBase)

public:
    explicit PanelBinderBase(QWidget& root) : QObject(&root), m_root(root) {}

    // Shows the struct on the widgets / reads every widget back into the struct.
    virtual void toWidgets() = 0;
    virtual void fromWidgets() = 0;
    // Names of the table's controls that have no widget under the root (a test lists them).
    QStringList missingWidgets() const;
    // Runs a control's rule over the current widgets as a change would, without asking anything
    // (after a language switch replaced a list's items, its dependent fields follow again).
    void rerunRule(const QString& controlName) { runRuleOf(controlName, RuleCause::Program); }

signals:
    // After a user's change ran its rule and the widgets show the result.
    void changedByUser(const QString& controlName);

protected:
    QWidget* widgetFor(std::string_view name) const;
    void showState(std::string_view name, const ControlState& state);
    void connectWidget(std::string_view name);
    static QString nameOf(std::string_view name);
    enum class RuleCause { User, Program };
    virtual void runRuleOf(const QString& controlName, RuleCause cause) = 0;
    // Reads one control's widget into its value.
    virtual void readControl(const QString& controlName) = 0;
    virtual std::vector<std::string_view> controlNames() const = 0;

    QWidget& m_root;
    ShownTexts m_shown;
    bool m_showing = false; // toWidgets() runs: the widgets' change signals are its own
};

template <class Panel> class PanelBinder final : public PanelBinderBase {
public:
    using BindingsFn = std::vector<ControlBinding<Panel>> (*)(Panel&);
    using StatesFn = std::vector<NamedState> (*)(const Panel&);

    PanelBinder(QWidget& root, Panel& model, BindingsFn bindings, StatesFn states)
        : PanelBinderBase(root), m_model(model), m_bindings(bindings), m_states(states) {
        for (const auto& binding : m_bindings(m_model)) {
            connectWidget(binding.name);
        }
    }

    Panel& model() { return m_model; }

    void toWidgets() override {
        const QScopedValueRollback showing(m_showing, true);
        for (const auto& binding : m_bindings(m_model)) {
            if (QWidget* w = widgetFor(binding.name)) {
                ShowControlValue(*w, binding.value, m_shown);
            }
        }
        for (const auto& named : m_states(m_model)) {
            showState(named.name, named.state);
        }
    }

    void fromWidgets() override {
        for (auto& binding : m_bindings(m_model)) {
            if (const QWidget* w = widgetFor(binding.name)) {
                ReadControlValue(*w, binding.value, m_shown);
            }
        }
    }

private:
    std::vector<std::string_view> controlNames() const override {
        std::vector<std::string_view> names;
        for (const auto& binding : m_bindings(m_model)) {
            names.push_back(binding.name);
        }
        return names;
    }

    void readControl(const QString& controlName) override {
        for (auto& binding : m_bindings(m_model)) {
            if (nameOf(binding.name) == controlName) {
                if (const QWidget* w = widgetFor(binding.name)) {
                    ReadControlValue(*w, binding.value, m_shown);
                }
            }
        }
    }

    void runRuleOf(const QString& controlName, RuleCause cause) override {
        // The rest of the panel is in the struct already; the changed list or box is read
        // again in case its own change signal has not come yet.
        readControl(controlName);
        for (auto& binding : m_bindings(m_model)) {
            if (nameOf(binding.name) != controlName) {
                continue;
            }
            auto* const* list = std::get_if<BaudRateList*>(&binding.value);
            if (list && (*list)->index == 1 && cause == RuleCause::User) {
                AskCustomBaudRate(&m_root, **list);
            }
            if (binding.onChange) {
                binding.onChange(m_model);
            }
        }
        toWidgets();
        if (cause == RuleCause::User) {
            emit changedByUser(controlName);
        }
    }

    Panel& m_model;
    BindingsFn m_bindings;
    StatesFn m_states;
};

} // namespace r2
