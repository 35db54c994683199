#pragma once
// TFrameCmd: one command row of the data debugger (tick, name, command, Send, hex, delay). It
// applies the row's own rules (rename, hex toggle, delay limit) through the core functions and
// says when the user changed it or asked to send it.

#include "debugger/cmd_rows.h"

#include <memory>
#include <QWidget>

namespace Ui {
class TFrameCmd;
}

namespace r2 {

class TFrameCmd final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFrameCmd)

public:
    explicit TFrameCmd(int index, QWidget* parent = nullptr);
    ~TFrameCmd() override;

    CmdRow Row() const;
    void SetRow(const CmdRow& row);
    void SetSendCaption(const QString& caption);
    // The digits-only key rule for the delay box is installed by the window, which owns it.
    QWidget& DelayBox();

    // The narrowest name button and delay box a row has.
    static constexpr int MinNameWidth = 100;
    static constexpr int MinDelayWidth = 49;
    // The width the name button needs to show `name` whole (at least MinNameWidth).
    int NameWidthFor(const QString& name) const;
    // Every row gets the same widths, so that the columns line up under the window's header.
    void SetColumnWidths(int nameWidth, int delayWidth);
    // The room the row leaves before its tick box and after its delay box.
    QMargins Insets() const;

signals:
    void SendRequested(int index);
    void Changed();

private:
    void btnExplanationContextPopup();
    void chkHexMouseUp();
    void edtDelayKeyUp();

    std::unique_ptr<Ui::TFrameCmd> m_ui;
    int m_index = 0;
};

} // namespace r2
