#include "widgets_common/control_texts.h"

#include "qt_bridge/qt_bridge.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTextLayout>

namespace r2 {

namespace {

QTabWidget* TabWidgetOfPage(QWidget& page) {
    for (QWidget* parent = page.parentWidget(); parent != nullptr;
         parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent)) {
            return tabs->indexOf(&page) >= 0 ? tabs : nullptr;
        }
    }
    return nullptr;
}

QLabel* BuddyLabelOf(const QWidget& root, const QWidget& edit) {
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (label->buddy() == &edit) {
            return label;
        }
    }
    return nullptr;
}

void SetCaption(const QWidget& root, QObject& control, const QString& text) {
    if (auto* widget = qobject_cast<QWidget*>(&control)) {
        if (QTabWidget* tabs = TabWidgetOfPage(*widget)) {
            tabs->setTabText(tabs->indexOf(widget), text);
            return;
        }
    }
    if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(&control)) {
        group->setTitle(text);
    } else if (auto* menu = qobject_cast<QMenu*>(&control)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(&control)) {
        action->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
        if (QLabel* buddyLabel = BuddyLabelOf(root, *edit)) {
            buddyLabel->setText(text);
        }
    }
}

} // namespace

QString CaptionText(std::string_view key) {
    QString text = Text(key);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

void ApplyWindowTexts(QWidget& window, std::string_view titleKey,
                      const std::vector<TextRow>& rows) {
    window.setWindowTitle(CaptionText(titleKey));
    ApplyCaptions(window, rows);
}

void ApplyCaptions(QWidget& root, const std::vector<TextRow>& rows) {
    for (const TextRow& row : rows) {
        QString text = CaptionText(row.key);
        if (row.star) {
            text += QStringLiteral(" ★");
        }
        for (const QString& name : row.controls) {
            if (QObject* control = root.findChild<QObject*>(name)) {
                SetCaption(root, *control, text);
            }
        }
    }
}

void ApplyHints(QWidget& root, const std::vector<TextRow>& rows) {
    for (const TextRow& row : rows) {
        const QString text = CaptionText(row.key);
        for (const QString& name : row.controls) {
            if (auto* control = root.findChild<QWidget*>(name)) {
                control->setToolTip(text);
            }
        }
    }
}

void ApplyItemTexts(QComboBox& combo, const std::vector<ItemText>& items) {
    const int selected = combo.currentIndex();
    for (const ItemText& item : items) {
        if (item.position < combo.count()) {
            const QString text =
                item.fixed
                    ? QString::fromUtf8(item.key.data(), static_cast<qsizetype>(item.key.size()))
                    : CaptionText(item.key);
            combo.setItemText(item.position, text);
        }
    }
    combo.setCurrentIndex(selected);
}

QStringList MissingControls(const QWidget& root, const std::vector<TextRow>& rows, TextRole role) {
    QStringList missing;
    for (const TextRow& row : rows) {
        for (const QString& name : row.controls) {
            QObject* control = root.findChild<QObject*>(name);
            if (control == nullptr) {
                missing << name;
            } else if (auto* edit = qobject_cast<QLineEdit*>(control);
                       role == TextRole::Caption && edit != nullptr &&
                       BuddyLabelOf(root, *edit) == nullptr) {
                missing << name + QStringLiteral(" (label)");
            }
        }
    }
    return missing;
}

void WrapCaption(QWidget& control) {
    if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->setWordWrap(true);
        return;
    }
    auto* button = qobject_cast<QAbstractButton*>(&control);
    if (button == nullptr) {
        return;
    }
    QStyleOptionButton option;
    option.initFrom(button);
    const int indicator =
        button->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, button) +
        button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, button);
    const qreal available = button->width() - indicator;
    if (available <= 0) {
        return;
    }
    const QString text = button->text().simplified();
    QTextLayout layout(text, button->font());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrap);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(available);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    button->setText(lines.join(QLatin1Char('\n')));
}

} // namespace r2
