#include "app/Unit_About.h"

#include "app/small_dialogs.h"
#include "app/Unit_Version.h"
#include "ui_Unit_About.h"
#include "widgets_common/control_texts.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPushButton>

namespace r2 {

namespace {

const std::vector<TextRow>& AboutCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_About_SoftName", {"lbl_SoftName"}},
        {"lang_About_Version", {"lbl_About_version"}},
        {"lang_About_Description", {"lbl_Aboutl_Description"}},
        {"lang_About_Contact", {"lbl_About_Contact"}},
        {"lang_About_Website", {"lbl_About_Website"}},
        {"lang_About_Tel", {"lbl_About_Tel"}},
        {"lang_About_Email", {"lbl_About_Email"}},
        {"lang_About_OK", {"btn_About_Yes"}},
    };
    return rows;
}

const QSize DesignSize{473, 215};

} // namespace

TFrm_About::TFrm_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::TFrm_About>()),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    LoadDialogPictures();
    m_ui->setupUi(this);
    ApplyAboutTexts(*this);
    m_ui->lbl_version->setText(QStringLiteral(" V") + GetFileVersionText());
    m_ui->lbl_About_Website->installEventFilter(this);
    connect(m_ui->btn_About_Yes, &QPushButton::clicked, this, &QDialog::accept);
}

TFrm_About::~TFrm_About() = default;

void TFrm_About::showEvent(QShowEvent* event) {
    FixDialogSize(*this, DesignSize);
    QDialog::showEvent(event);
}

bool TFrm_About::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->lbl_About_Website && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The label shows the address as the language table holds it, so a user's language
        // file can point each language to its own page.
        m_openUrl(QUrl::fromUserInput(m_ui->lbl_About_Website->text().trimmed()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ApplyAboutTexts(QWidget& about) {
    ApplyWindowTexts(about, "lang_About_Title", AboutCaptions());
}

} // namespace r2
