#pragma once
// PanelBinder: the one place where a model panel's value struct (PanelP6, PanelP7, PanelP5) meets
// its widgets. It walks the panel's control table, so a new control is one table row and one
// widget with that objectName, nothing else.
//
// - toWidgets() shows every value and every rule-driven state (enabled, visible, label colour).
// - fromWidgets() copies every widget back into the struct. An edit whose text the user did not
//   change keeps the struct's bytes exactly, even when they are not valid GBK and would not
//   survive a trip through the shown text: a read followed by an unchanged save sends back what
//   was read.
// - A user's choice in a list or click on a check box copies the widgets back, runs the
//   control's rule on the struct and shows the result; the rule itself lives in the protocol
//   layer, never here.
// - Picking entry 1 of a baud-rate list asks for a custom rate (AskCustomBaudRate).

#include "panel_controls.h"

#include <functional>
#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>
#include <QWidget>
#include <vector>

namespace r2 {

inline const QColor SilverLabel{192, 192, 192};

// The edits' shown texts, remembered so that unchanged texts keep their bytes.
using ShownTexts = QHash<QString, QString>;

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

    // Shows the struct on the widgets / copies the widgets back into the struct.
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
    enum class RuleCause { User, Program };
    virtual void runRuleOf(const QString& controlName, RuleCause cause) = 0;
    virtual std::vector<std::string_view> controlNames() const = 0;

    QWidget& m_root;
    ShownTexts m_shown;
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

    void runRuleOf(const QString& controlName, RuleCause cause) override {
        fromWidgets();
        for (auto& binding : m_bindings(m_model)) {
            if (QString::fromUtf8(binding.name.data(),
                                  static_cast<qsizetype>(binding.name.size())) != controlName) {
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
