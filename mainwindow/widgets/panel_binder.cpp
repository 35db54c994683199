#include "mainwindow/widgets/panel_binder.h"

#include "lan/frame_text.h"
#include "qt_bridge/qt_bridge.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace r2 {

namespace {

// Multi-line texts travel with CR LF line ends; the widget works with LF.
QString ShownMultiLine(const QString& text) {
    return QString(text).replace("\r\n", "\n");
}
QString StoredMultiLine(const QString& text) {
    return QString(text).replace("\n", "\r\n");
}

QString WidgetText(const QWidget& widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return edit->text();
    }
    if (const auto* rich = qobject_cast<const QPlainTextEdit*>(&widget)) {
        return rich->toPlainText();
    }
    return {};
}

void SetWidgetText(QWidget& widget, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(text);
    } else if (auto* rich = qobject_cast<QPlainTextEdit*>(&widget)) {
        rich->setPlainText(text);
    }
}

struct Shower {
    QWidget& widget;
    ShownTexts& shown;

    void operator()(std::string* text) const {
        const bool multiLine = qobject_cast<QPlainTextEdit*>(&widget) != nullptr;
        const QString decoded = FromFrameText(*text);
        const QString visible = multiLine ? ShownMultiLine(decoded) : decoded;
        SetWidgetText(widget, visible);
        // What the widget really holds (an edit may cut a text at its maximum length).
        shown.insert(widget.objectName(), ShownText{WidgetText(widget), *text});
    }
    void operator()(ComboBox* list) const {
        if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
            combo->setCurrentIndex(list->index < combo->count() ? list->index : -1);
        }
    }
    void operator()(BaudRateList* list) const {
        if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
            if (combo->count() > 0) {
                combo->setItemText(0, FromFrameText(list->entry0));
            }
            combo->setCurrentIndex(list->index < combo->count() ? list->index : -1);
        }
    }
    void operator()(bool* checked) const {
        if (auto* box = qobject_cast<QAbstractButton*>(&widget)) {
            box->setChecked(*checked);
        }
    }
};

struct Reader {
    const QWidget& widget;
    const ShownTexts& shown;

    void operator()(std::string* text) const {
        const QString now = WidgetText(widget);
        const auto before = shown.constFind(widget.objectName());
        if (before != shown.constEnd() && before->text == now) {
            *text = before->bytes;
            return;
        }
        const bool multiLine = qobject_cast<const QPlainTextEdit*>(&widget) != nullptr;
        *text = ToFrameText(multiLine ? StoredMultiLine(now) : now);
    }
    void operator()(ComboBox* list) const {
        if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
            list->Select(combo->currentIndex());
        }
    }
    void operator()(BaudRateList* list) const {
        if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
            if (combo->count() > 0) {
                list->entry0 = ToFrameText(combo->itemText(0));
            }
            list->index = combo->currentIndex();
        }
    }
    void operator()(bool* checked) const {
        if (const auto* box = qobject_cast<const QAbstractButton*>(&widget)) {
            *checked = box->isChecked();
        }
    }
};

// Set on a widget while an action holds it disabled.
constexpr const char* HeldDisabledProperty = "r2HeldDisabled";

} // namespace

void HoldDisabled(QWidget& widget, bool hold) {
    widget.setProperty(HeldDisabledProperty, hold);
    widget.setEnabled(!hold);
}

void ShowControlValue(QWidget& widget, const ControlValueRef& value, ShownTexts& shown) {
    std::visit(Shower{widget, shown}, value);
}

void ReadControlValue(const QWidget& widget, ControlValueRef& value, const ShownTexts& shown) {
    std::visit(Reader{widget, shown}, value);
}

void ShowControlState(QWidget& widget, const ControlState& state) {
    widget.setEnabled(state.enabled && !widget.property(HeldDisabledProperty).toBool());
    widget.setVisible(state.visible);
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        if (state.colour == TextColour::Silver) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, SilverLabel);
            label->setPalette(palette);
        } else {
            label->setPalette(QPalette()); // inherit the window text colour again
        }
    }
}

void AskCustomBaudRate(QWidget* parent, BaudRateList& list) {
    const QString defaultText = FromFrameText(list.entry0);
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, Text("lang_InputBdTitle"), Text("lang_PlsInputBd"),
                              QLineEdit::Normal, defaultText, &ok);
    ApplyCustomBaudEntry(list, (ok ? answer : defaultText).toStdString());
}

QString PanelBinderBase::nameOf(std::string_view name) {
    return Utf8(name);
}

QWidget* PanelBinderBase::widgetFor(std::string_view name) const {
    return m_root.findChild<QWidget*>(Utf8(name));
}

QStringList PanelBinderBase::missingWidgets() const {
    QStringList missing;
    for (const std::string_view name : controlNames()) {
        if (!widgetFor(name)) {
            missing << Utf8(name);
        }
    }
    return missing;
}

void PanelBinderBase::showState(std::string_view name, const ControlState& state) {
    if (QWidget* w = widgetFor(name)) {
        ShowControlState(*w, state);
    }
}

void PanelBinderBase::connectWidget(std::string_view name) {
    QWidget* w = widgetFor(name);
    const QString controlName = Utf8(name);
    // Not only the user's signals: a program (or a test) setting a widget changes the panel too.
    const auto writeThrough = [this, controlName] {
        if (!m_showing) {
            readControl(controlName);
        }
    };
    const auto userChange = [this, controlName] { runRuleOf(controlName, RuleCause::User); };
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        connect(edit, &QLineEdit::textChanged, this, writeThrough);
    } else if (auto* rich = qobject_cast<QPlainTextEdit*>(w)) {
        connect(rich, &QPlainTextEdit::textChanged, this, writeThrough);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::currentIndexChanged, this, writeThrough);
        connect(combo, &QComboBox::activated, this, userChange);
    } else if (auto* box = qobject_cast<QAbstractButton*>(w)) {
        connect(box, &QAbstractButton::toggled, this, writeThrough);
        connect(box, &QAbstractButton::clicked, this, userChange);
    }
}

} // namespace r2
