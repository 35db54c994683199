#include "mainwindow/widgets/typing_limit.h"

#include "lan/frame_text.h"

#include <algorithm>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>

namespace r2 {

namespace {

// Wide enough for the longest entry a user reads at a glance (a MAC with separators); longer
// limits (a domain name) scroll.
constexpr int WidestShownEntry = 17;

// The bytes a text takes in a frame's field: a Chinese character takes two (GBK).
int FieldLength(const QString& text) {
    return static_cast<int>(ToFrameText(text).size());
}

// Refuses a user's edit that leaves the text longer than the limit, unless it shortens the text.
// The limit counts the bytes the text takes in its frame field, so typing stops before a
// Chinese character that the field could only carry half of. Texts the program sets are always
// accepted: QLineEdit stops undoing refused edits once its current text counts as invalid, so a
// long program text must stay valid.
class TypingLimit final : public QValidator {
    Q_DISABLE_COPY_MOVE(TypingLimit)

public:
    TypingLimit(QLineEdit& edit, int limit)
        : QValidator(&edit), m_edit(edit), m_limit(limit),
          m_lengthBefore(FieldLength(edit.text())) {
        // textChanged follows validate(), so between two changes this is the length before.
        connect(&edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_lengthBefore = FieldLength(text); });
    }

    State validate(QString& input, int& /*pos*/) const override {
        const int length = FieldLength(input);
        const bool userEdit = m_edit.isModified(); // setText() clears the modified flag
        if (!userEdit || length <= m_limit || length < m_lengthBefore) {
            return Acceptable;
        }
        return Invalid;
    }

private:
    QLineEdit& m_edit;
    int m_limit;
    int m_lengthBefore;
};

int WidthShowing(const QLineEdit& edit, int characters) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    const QMargins margins = edit.textMargins();
    constexpr int cursorRoom = 4; // QLineEdit keeps 2 px either side of its text
    const QSize text(edit.fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('F'))) +
                         margins.left() + margins.right() + cursorRoom,
                     edit.fontMetrics().height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, &edit).width();
}

} // namespace

void ApplyTypingLimits(QWidget& root) {
    for (QLineEdit* edit : root.findChildren<QLineEdit*>()) {
        const QVariant limit = edit->property("typingLimit");
        if (!limit.isValid()) {
            continue;
        }
        edit->setValidator(new TypingLimit(*edit, limit.toInt()));
        edit->setMinimumWidth(WidthShowing(*edit, std::min(limit.toInt(), WidestShownEntry)));
    }
}

} // namespace r2
