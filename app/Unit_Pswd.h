#pragma once
// TFrm_Pswd: the credentials dialog (File → User config). It edits the user name and password
// that the LAN commands send to a module. Its edits are filled once, at creation: after Cancel
// they keep what the user typed while the credentials in use stay unchanged, so the next opening
// shows the typed text; after OK the edits and the credentials agree.
//
// The dialog does not hold the credentials: OK reports them, exactly as typed (empty allowed),
// through credentialsAccepted, and the owner stores them. Each edit accepts at most 5 characters.

#include <memory>
#include <QDialog>
#include <QString>

namespace Ui {
class TFrm_Pswd;
}

namespace r2 {

class TFrm_Pswd final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFrm_Pswd)

public:
    // Fills the edits with the credentials in use, then applies the current language's texts.
    TFrm_Pswd(const QString& user, const QString& password, QWidget* parent = nullptr);
    ~TFrm_Pswd() override;

    void FillPswdFields(const QString& user, const QString& password);

signals:
    // btn_OK: the texts of edt_UsrName and edt_Paswd.
    void credentialsAccepted(const QString& user, const QString& password);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btn_OKClick();

    std::unique_ptr<Ui::TFrm_Pswd> m_ui;
};

// The credentials dialog's caption and its two buttons in the current language.
void ApplyPswdTexts(QWidget& pswd);

} // namespace r2
