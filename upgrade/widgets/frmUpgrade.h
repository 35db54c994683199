#pragma once
// Tfrm_Upgrade: the firmware upgrade dialog. It collects the module's IP and MAC, the computer's
// address to work from and the image file, checks them, and starts UpgradeEngine, whose status,
// progress and endings it shows. Nothing of the transfer happens here.
//
// - btn_Program checks, in this order: the three addresses filled (lang_Hint_UpNoClient), a
//   file named (lang_Hint_UpNoFileName), both addresses readable as IPv4 and in one /24
//   (lang_Hint_UpNoSamNetwork in a message box). Then the engine starts and both buttons stay
//   disabled until an ending enables them again.
// - While they are disabled the dialog cannot be left: it has no close box, and Escape does
//   nothing. btn_Exit closes the engine's endpoints, resets the progress and hides the dialog.
// - While a transfer runs the addresses, the file and btn_Browse are locked, and btn_Cancel
//   (enabled only then) stops it: the engine gives its ports back and says it was cancelled.
// - edt_BinFileName shows the image's file name, its whole path as the tooltip; while the box
//   has the focus it holds the whole path to edit. The path is what is used and remembered.
// - The progress bar draws no text of its own (white over its fill, it vanished where the fill
//   ends): the status line beside it says the percentage.
// - The status line keeps the key it shows, so a language switch shows the same status, suffix
//   and all, in the other language (RetranslateStatus).
// - A failure's reason (a port held by another server, no privilege, an unreadable file) and
//   what to do about it are shown in full under the status line, selectable for copying.

#include "settings/Unit_Ini.h"

#include <functional>
#include <memory>
#include <QDialog>
#include <QString>

namespace Ui {
class Tfrm_Upgrade;
}

namespace r2 {

class UpgradeEngine;
enum class UpgradeEnding;

class Tfrm_Upgrade final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_Upgrade)

public:
    explicit Tfrm_Upgrade(QWidget* parent = nullptr);
    ~Tfrm_Upgrade() override;

    // The three remembered fields, as the settings file keeps them.
    void SetRemembered(const R2UpgradeSettings& fields);
    R2UpgradeSettings Remembered() const;
    // Opened from the device list with a module selected: its IP and its MAC without spaces.
    void SetTarget(const QString& ip, const QString& mac);
    void RetranslateStatus();
    // The program is closing: true when no transfer runs, or when the user, asked, abandons
    // the one that does (it stops as after the Exit button, the module left in its boot
    // loader); false keeps the program open.
    bool AllowProgramClose();

    UpgradeEngine& engine() { return *m_engine; }
    // How btn_Browse picks a file (a file dialog; tests answer instead). Empty: cancelled.
    void setFileChooser(std::function<QString()> chooser) { m_chooseFile = std::move(chooser); }

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onProgram();
    void onExit();
    void onCancel();
    void onBrowse();
    void refreshLocalAddresses();
    void showStatus(const QString& key, const QString& suffix = {});
    void onEnded(UpgradeEnding ending, const QString& detail);
    // Idle: buttons and inputs enabled, btn_Cancel disabled; a transfer: the other way round.
    void setIdle(bool idle);
    void setBinPath(const QString& path);
    // edt_BinFileName shows the whole path (while it has the focus) or the file name.
    void showBinPath(bool wholePath);
    void fitToContents();
    bool busy() const;

    std::unique_ptr<Ui::Tfrm_Upgrade> m_ui;
    std::unique_ptr<UpgradeEngine> m_engine;
    std::function<QString()> m_chooseFile;
    QString m_binPath;
    QString m_statusKey;
    QString m_statusSuffix;
};

// The dialog's caption, notes, group boxes, labels and buttons in the current language. Its
// status line is the dialog's own (Tfrm_Upgrade::RetranslateStatus).
void ApplyUpgradeTexts(QWidget& upgrade);

} // namespace r2
