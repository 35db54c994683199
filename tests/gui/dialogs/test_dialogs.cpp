// The credentials dialog and the about box as a user meets them.

#include "app/Unit_About.h"
#include "app/Unit_Pswd.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/widgets/app_texts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace r2;

namespace {

void UseBuiltInTexts(bool chinese) {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    LangList.UseChinese = chinese;
}

template <class T> T& Control(QWidget& window, const char* name) {
    auto* control = window.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) {
        qFatal("%s has no %s", qPrintable(window.objectName()), name);
    }
    return *control;
}

// Types text key by key, as a keyboard or an input method delivers it (QTest::keyClicks takes
// Latin-1 only).
void Type(QWidget& widget, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&widget, &press);
    }
}

// Shows the dialog as the main window does (modal) and returns once it is on screen.
bool Open(QDialog& dialog) {
    dialog.open();
    return QTest::qWaitForWindowExposed(&dialog);
}

} // namespace

class TestDialogs final : public QObject {
    Q_OBJECT

private slots:
    void init() { UseBuiltInTexts(false); }

    void pswdIsFilledFromTheCredentialsInUse();
    void pswdEditsStopAtFiveBytes_data();
    void pswdEditsStopAtFiveBytes();
    void pswdOkReportsTheTextsAsTyped();
    void pswdCancelKeepsCredentialsButTheTypedTextStays();
    void pswdTextsInBothLanguages();

    void aboutShowsVersionAndBlankContactLines();
    void aboutTextsInBothLanguages();
    void aboutWebsiteClickOpensItsText();
    void dialogsKeepAtLeastTheirDesignedSize_data();
    void dialogsKeepAtLeastTheirDesignedSize();
};

void TestDialogs::pswdIsFilledFromTheCredentialsInUse() {
    TFrm_Pswd pswd(QStringLiteral("admin"), QStringLiteral("tulip"));
    QCOMPARE(pswd.objectName(), QStringLiteral("TFrm_Pswd"));
    QCOMPARE(Control<QLineEdit>(pswd, "edt_UsrName").text(), QStringLiteral("admin"));
    QCOMPARE(Control<QLineEdit>(pswd, "edt_Paswd").text(), QStringLiteral("tulip"));
    QCOMPARE(Control<QLineEdit>(pswd, "edt_Paswd").echoMode(), QLineEdit::Password);
    for (const char* edit : {"edt_UsrName", "edt_Paswd"}) {
        QCOMPARE(Control<QLineEdit>(pswd, edit).toolTip(), QStringLiteral("输入位数不能超过6字节"));
    }
}

void TestDialogs::pswdEditsStopAtFiveBytes_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("user name") << "edt_UsrName"
                               << "abcdef"
                               << "abcde";
    QTest::newRow("password") << "edt_Paswd"
                              << "123456"
                              << "12345";
    // The limit counts the bytes the frame carries: a Chinese character takes two, and a third
    // one would not fit whole.
    QTest::newRow("chinese user name") << "edt_UsrName"
                                       << "用户名密码设"
                                       << "用户";
    QTest::newRow("mixed password") << "edt_Paswd"
                                    << "a密码"
                                    << "a密码";
    QTest::newRow("mixed password, one byte over") << "edt_Paswd"
                                                   << "ab密码"
                                                   << "ab密";
}

void TestDialogs::pswdEditsStopAtFiveBytes() {
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    TFrm_Pswd pswd{QString(), QString()};
    QSignalSpy accepted(&pswd, &TFrm_Pswd::credentialsAccepted);
    QVERIFY(Open(pswd));
    auto& field = Control<QLineEdit>(pswd, edit.toLatin1().constData());
    field.setFocus();
    Type(field, typed);
    QCOMPARE(field.text(), kept);
    QTest::mouseClick(&Control<QPushButton>(pswd, "btn_OK"), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(accepted.first().contains(kept));
}

void TestDialogs::pswdOkReportsTheTextsAsTyped() {
    TFrm_Pswd pswd(QStringLiteral("admin"), QStringLiteral("tulip"));
    QSignalSpy accepted(&pswd, &TFrm_Pswd::credentialsAccepted);
    QVERIFY(Open(pswd));
    auto& user = Control<QLineEdit>(pswd, "edt_UsrName");
    user.selectAll();
    Type(user, QStringLiteral(" Bob "));
    Control<QLineEdit>(pswd, "edt_Paswd").clear();
    QTest::mouseClick(&Control<QPushButton>(pswd, "btn_OK"), Qt::LeftButton);

    QCOMPARE(accepted.count(), 1);
    QCOMPARE(accepted.first().at(0).toString(), QStringLiteral(" Bob "));
    QCOMPARE(accepted.first().at(1).toString(), QString());
    QVERIFY(!pswd.isVisible());
    QCOMPARE(pswd.result(), int(QDialog::Accepted));
}

void TestDialogs::pswdCancelKeepsCredentialsButTheTypedTextStays() {
    TFrm_Pswd pswd(QStringLiteral("admin"), QStringLiteral("tulip"));
    QSignalSpy accepted(&pswd, &TFrm_Pswd::credentialsAccepted);
    QVERIFY(Open(pswd));
    auto& user = Control<QLineEdit>(pswd, "edt_UsrName");
    user.selectAll();
    Type(user, QStringLiteral("guest"));
    QTest::mouseClick(&Control<QPushButton>(pswd, "btn_Cancel"), Qt::LeftButton);
    QVERIFY(!pswd.isVisible());
    QCOMPARE(accepted.count(), 0);

    QVERIFY(Open(pswd)); // the next opening shows what was typed
    QCOMPARE(user.text(), QStringLiteral("guest"));
    QCOMPARE(Control<QLineEdit>(pswd, "edt_Paswd").text(), QStringLiteral("tulip"));
    QTest::keyClick(&pswd, Qt::Key_Escape);
    QVERIFY(!pswd.isVisible());
    QCOMPARE(accepted.count(), 0);
}

void TestDialogs::pswdTextsInBothLanguages() {
    UseBuiltInTexts(true);
    TFrm_Pswd pswd(QStringLiteral("admin"), QStringLiteral("tulip"));
    QCOMPARE(pswd.windowTitle(), QStringLiteral("用户名密码设置"));
    QCOMPARE(Control<QPushButton>(pswd, "btn_OK").text(), QStringLiteral("确定"));
    QCOMPARE(Control<QPushButton>(pswd, "btn_Cancel").text(), QStringLiteral("取消"));
    UseBuiltInTexts(false);
    ApplyPswdTexts(pswd);
    QCOMPARE(pswd.windowTitle(), QStringLiteral("User config"));
    QCOMPARE(Control<QPushButton>(pswd, "btn_OK").text(), QStringLiteral("OK"));
    QCOMPARE(Control<QPushButton>(pswd, "btn_Cancel").text(), QStringLiteral("Cancel"));
}

void TestDialogs::aboutShowsVersionAndBlankContactLines() {
    for (const bool chinese : {false, true}) {
        UseBuiltInTexts(chinese);
        TFrm_About about;
        QCOMPARE(about.objectName(), QStringLiteral("TFrm_About"));
        QCOMPARE(Control<QLabel>(about, "lbl_version").text(), QStringLiteral(" V2.2.6.0"));
        QCOMPARE(Control<QLabel>(about, "lbl_About_Tel").text(), QStringLiteral(" "));
        QCOMPARE(Control<QLabel>(about, "lbl_About_Email").text(), QStringLiteral(" "));
        QVERIFY(Control<QLabel>(about, "lbl_Aboutl_Description").wordWrap());
        QVERIFY(!Control<QLabel>(about, "img_Logo").pixmap().isNull());
    }
}

void TestDialogs::aboutTextsInBothLanguages() {
    UseBuiltInTexts(true);
    TFrm_About about;
    QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
    QCOMPARE(Control<QLabel>(about, "lbl_SoftName").text(), QStringLiteral("名称：QOB-R2"));
    QCOMPARE(Control<QLabel>(about, "lbl_About_version").text(), QStringLiteral("版本："));
    QCOMPARE(Control<QLabel>(about, "lbl_About_Contact").text(), QStringLiteral("联系我们"));
    QVERIFY(Control<QLabel>(about, "lbl_Aboutl_Description").text().startsWith("说明："));
    QCOMPARE(Control<QPushButton>(about, "btn_About_Yes").text(), QStringLiteral("确 认"));

    UseBuiltInTexts(false);
    ApplyAboutTexts(about);
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(Control<QLabel>(about, "lbl_SoftName").text(), QStringLiteral("Name:  QOB-R2"));
    QCOMPARE(Control<QLabel>(about, "lbl_About_version").text(), QStringLiteral("Version:"));
    QCOMPARE(Control<QLabel>(about, "lbl_About_Contact").text(), QStringLiteral(" "));
    QVERIFY(Control<QLabel>(about, "lbl_Aboutl_Description").text().startsWith("Instruction:  "));
    QCOMPARE(Control<QPushButton>(about, "btn_About_Yes").text(), QStringLiteral("OK"));
    QCOMPARE(Control<QLabel>(about, "lbl_version").text(), QStringLiteral(" V2.2.6.0"));
}

void TestDialogs::aboutWebsiteClickOpensItsText() {
    TFrm_About about;
    QList<QUrl> opened;
    about.setUrlOpener([&opened](const QUrl& url) { opened << url; });
    QVERIFY(Open(about));
    auto& website = Control<QLabel>(about, "lbl_About_Website");
    QCOMPARE(website.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(website.font().underline());
    QCOMPARE(website.palette().color(website.foregroundRole()), QColor(0, 0, 255));

    QTest::mouseClick(&website, Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl(QString::fromStdString(GetLangText("lang_About_Website")))});
    QTest::mouseClick(&website, Qt::RightButton);
    QCOMPARE(opened.size(), 1);

    QTest::mouseClick(&Control<QPushButton>(about, "btn_About_Yes"), Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

void TestDialogs::dialogsKeepAtLeastTheirDesignedSize_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QByteArray>("languageFile");
    QTest::newRow("chinese") << true << QByteArray();
    QTest::newRow("english") << false << QByteArray();
    // A user's language file may reword any text, at any length.
    QTest::newRow("long rewording") << false
                                    << "lang_About_Description|x|" + QByteArray(60, 'w') + ' ' +
                                           QByteArray("word ").repeated(80) +
                                           "\r\nlang_Log_Cancel|x|Cancel without changing "
                                           "anything\r\n";
}

void TestDialogs::dialogsKeepAtLeastTheirDesignedSize() {
    QFETCH(bool, chinese);
    QFETCH(QByteArray, languageFile);
    UseBuiltInTexts(chinese);
    LangList.ReadLanguageText(languageFile.toStdString());
    TFrm_About about;
    TFrm_Pswd pswd(QStringLiteral("admin"), QStringLiteral("tulip"));
    QVERIFY(Open(about));
    QVERIFY(Open(pswd));
    QVERIFY(about.width() >= 473 && about.height() >= 215);
    QVERIFY(pswd.width() >= 322 && pswd.height() >= 145);
    QCOMPARE(about.minimumSize(), about.maximumSize()); // a fixed border
    QCOMPARE(pswd.minimumSize(), pswd.maximumSize());
    // Nothing cut off: every label and button gets at least the room its text needs.
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            continue; // pictures are scaled to their box
        }
        if (label->wordWrap()) {
            QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->objectName()));
        } else {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
        }
    }
    for (QPushButton* button :
         about.findChildren<QPushButton*>() + pswd.findChildren<QPushButton*>()) {
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->objectName()));
    }
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
