#pragma once
// TFrm_About: the about box (Help → About...). Product name, version (" V" and the program's
// version string), a description, the project's address and the project's logo. Clicking the
// address opens it with the system's default handler.

#include <functional>
#include <memory>
#include <QDialog>
#include <QUrl>

namespace Ui {
class TFrm_About;
}

namespace r2 {

class TFrm_About final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFrm_About)

public:
    // Applies the current language's texts, then shows the version.
    explicit TFrm_About(QWidget* parent = nullptr);
    ~TFrm_About() override;

    // How the address is opened (the system's default handler; tests record it instead).
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TFrm_About> m_ui;
    std::function<void(const QUrl&)> m_openUrl;
};

// The about box's caption and labels in the current language; lbl_version is left alone.
void ApplyAboutTexts(QWidget& about);

} // namespace r2
