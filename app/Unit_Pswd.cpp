#include "app/Unit_Pswd.h"

#include "app/small_dialogs.h"
#include "mainwindow/widgets/typing_limit.h"
#include "ui_Unit_Pswd.h"
#include "widgets_common/control_texts.h"

#include <QPushButton>

namespace r2 {

namespace {

const std::vector<TextRow>& PswdCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_Log_OK", {"btn_OK"}},
        {"lang_Log_Cancel", {"btn_Cancel"}},
    };
    return rows;
}

const QSize DesignSize{322, 145};

} // namespace

TFrm_Pswd::TFrm_Pswd(const QString& user, const QString& password, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::TFrm_Pswd>()) {
    LoadDialogPictures();
    m_ui->setupUi(this);
    ApplyTypingLimits(*this);
    FillPswdFields(user, password);
    QPalette strip = m_ui->img_Top->palette();
    strip.setColor(QPalette::Window, Qt::white);
    m_ui->img_Top->setPalette(strip);
    ApplyPswdTexts(*this);
    connect(m_ui->btn_OK, &QPushButton::clicked, this, &TFrm_Pswd::btn_OKClick);
    connect(m_ui->btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrm_Pswd::~TFrm_Pswd() = default;

void TFrm_Pswd::FillPswdFields(const QString& user, const QString& password) {
    m_ui->edt_UsrName->setText(user);
    m_ui->edt_Paswd->setText(password);
}

void TFrm_Pswd::showEvent(QShowEvent* event) {
    FixDialogSize(*this, DesignSize);
    QDialog::showEvent(event);
}

void TFrm_Pswd::btn_OKClick() {
    emit credentialsAccepted(m_ui->edt_UsrName->text(), m_ui->edt_Paswd->text());
    accept();
}

void ApplyPswdTexts(QWidget& pswd) {
    ApplyWindowTexts(pswd, "lang_Log_Title", PswdCaptions());
}

} // namespace r2
