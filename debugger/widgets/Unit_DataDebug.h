#pragma once
// Tfrm_DataDebug: the network data debugger window. The computer plays the counterpart of a
// module's socket (UDP server or client, TCP server or client), sends the stored command rows
// once or cyclically, and shows what comes back in the receive pane under the rows.
//
// The window is layout and binding: the connections are a DebugTransport, cyclic sending a
// CycleSender, the rows' rules and file live in the core (cmd_rows, cmd_file). The caption of
// btnConnet is the connection state, as the users know it. FormShow runs each time the window
// is shown, with the P6 panel's values. Every way the window goes away (its close button,
// Escape, the program's shell closing it with the main window) is one close: the rows saved,
// cyclic sending stopped, the connection closed.

#include "debugger/cmd_rows.h"
#include "debugger/cycle_sender.h"
#include "debugger/debug_transport.h"
#include "lang/Unit_Baselang.h"

#include <functional>
#include <memory>
#include <QDialog>
#include <QMessageBox>
#include <string>
#include <vector>

namespace Ui {
class Tfrm_DataDebug;
}

namespace r2 {

struct PanelP6;
class TFrameCmd;

class Tfrm_DataDebug final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_DataDebug)

public:
    // The receive pane keeps this many lines; older ones drop.
    static constexpr int ReceiveLineLimit = 2000;

    // programDir: where DataSelf.txt lives; filePath: the FilePath setting.
    Tfrm_DataDebug(QString programDir, std::string filePath, QWidget* parent = nullptr);
    ~Tfrm_DataDebug() override;

    // Texts, the counterpart proposed from the module's work mode, the rows loaded.
    void FormShow(const PanelP6& panel);
    // The FilePath setting as import and export leave it.
    const std::string& FilePath() const { return m_filePath; }

    void SendCmdRow(int index);
    void StopCycleSend();
    DebugTransport& Transport() { return m_transport; }
    const CycleSender& Cycle() const { return m_cycle; }
    // Escape: the same close as the close button, not a bare hide.
    void reject() override;

    // How btnImport and btnExport pick a file (file dialogs; tests answer instead). Empty:
    // cancelled.
    void setImportFileChooser(std::function<QString()> chooser) {
        m_chooseImportFile = std::move(chooser);
    }
    void setExportFileChooser(std::function<QString()> chooser) {
        m_chooseExportFile = std::move(chooser);
    }
    // How the window's modal messages are shown (message boxes; tests note them instead).
    using MessageShower = std::function<void(QMessageBox::Icon icon, const QString& text)>;
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }

signals:
    void FilePathChanged(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UseStandardDialogs();
    void CreateCmdRows();
    void FitColumns();
    CmdRows CollectRows() const;
    void ShowRows(const CmdRows& rows);
    void ClearCmdRows();
    // What a load does when the file does not exist.
    enum class MissingFile { Reported, GivesEmptyRows };
    void LoadCmdFile(const std::string& path, MissingFile missing = MissingFile::Reported);
    bool SaveCmdFile(const std::string& path);

    void cbbIPDropDown();
    void cbbProtrolTypeChange(int index);
    void btnConnetClick();
    void StartUdp();
    void StartServer();
    void StartClient();
    bool CheckIPPort();
    void LockConnCtrls(bool active);
    void ShowUdpDestination(bool shown);
    void StopConnectionQuietly();

    void btnClearAllClick();
    void btnImportClick();
    void btnExportClick();
    void chkChooseAllMouseUp();
    void chkHexAllMouseUp();
    void btnCycleSendClick();
    void edtCycleKeyUp();
    void UpdateCycleRows();

    void ReportSend(const SendOutcome& outcome, bool fromWorker);
    void SetStatus(const QString& text);
    QString Caption() const;
    bool Running() const;
    DebugKind Kind() const;

    void AddReceived(const QString& address, std::uint16_t port, const QByteArray& bytes);
    void UpdateCounters();

    std::unique_ptr<Ui::Tfrm_DataDebug> m_ui;
    QString m_programDir;
    std::string m_filePath;
    std::vector<TFrameCmd*> m_rows;
    DebugTransport m_transport;
    CycleSender m_cycle;
    std::function<QString()> m_chooseImportFile;
    std::function<QString()> m_chooseExportFile;
    MessageShower m_showMessage;
};

} // namespace r2
