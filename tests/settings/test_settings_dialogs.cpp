#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ui/main_window.h"
#include "program/main_window_host.h"
#include "settings/ui/settings_dialog_hooks.h"
#include "support/main_window_controls.h"
#include "settings/ui/command_dialog.h"
#include "settings/ui/custom_size_dialog.h"
#include "settings/ui/effects_dialog.h"

using reelsmith::TEffects;
using reelsmith::Tfrm_Command;
using reelsmith::Tfrm_Custom;
using reelsmith::Tfrm_Effects;
using reelsmith::Tfrm_Main;
using reelsmith::TOutputChoices;

namespace {

// Saves what the user would see when REELSMITH_GRAB_DIR names a folder (for a manual look).
void Grab(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("REELSMITH_GRAB_DIR");
    if (folder.isEmpty())
        return;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Replaces the box's text with keystrokes, as the user would type it.
void TypeInto(QSpinBox* box, const QString& text)
{
    QLineEdit* edit = box->findChild<QLineEdit*>();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Runs `act` on the modal dialog once it is shown.
void OnModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        act(modal);
    });
}

}  // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT
private slots:
    void effectsLayout();
    void effectsShowsFieldsAndOkWritesThem();
    void effectsCancelChangesNothing();
    void effectsRotationRoundTrip();
    void effectsDegreesOutsideTheList();
    void effectsExecuteOverParent();
    void customLayout();
    void customSelectsExistingOrReplacesLastSlot();
    void customCancelChangesNothing();
    void customRejectsEmptyAndZero();
    void customTypedValuesAboveRangeAreRefused();
    void commandLayout();
    void commandOkTakesTextAsTypedAndFormat();
    void commandCancelAndEscChangeNothing();
    void commandOkRefusesWhatTheEngineCannotRead();
    void commandFlowOnMainWindow();
};

void TestSettingsDialogs::effectsLayout()
{
    TEffects effects;
    Tfrm_Effects dialog(effects);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Effects"));
    QCOMPARE(dialog.chk_VFlip->text(), QStringLiteral("Vertically flip"));
    QCOMPARE(dialog.chk_HFlip->text(), QStringLiteral("Horizontally flip"));
    QCOMPARE(dialog.chk_Negate->text(), QStringLiteral("Negate"));
    QCOMPARE(dialog.chk_Dein->text(), QStringLiteral("Deinterlace"));
    QCOMPARE(dialog.chk_Rotate->text(), QStringLiteral("Rotate"));
    QCOMPARE(dialog.cb_Rotate->count(), 3);
    QCOMPARE(dialog.cb_Rotate->itemText(0), QStringLiteral("90 degrees"));
    QCOMPARE(dialog.cb_Rotate->itemText(1), QStringLiteral("180 degrees"));
    QCOMPARE(dialog.cb_Rotate->itemText(2), QStringLiteral("270 degrees"));
    QVERIFY(!dialog.cb_Rotate->isEnabled());
    QCOMPARE(dialog.btn_OK->text(), QStringLiteral("OK"));
    QVERIFY(dialog.btn_OK->isDefault());
    QCOMPARE(dialog.btn_Cancel->text(), QStringLiteral("Cancel"));
    // Check boxes top to bottom in the field order, the list below "Rotate".
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QWidget* order[] = {dialog.chk_VFlip,  dialog.chk_HFlip, dialog.chk_Negate, dialog.chk_Dein,
                              dialog.chk_Rotate, dialog.cb_Rotate, dialog.btn_OK};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QVERIFY(order[i]->y() > order[i - 1]->y());
    const QSize size = dialog.size();
    dialog.resize(size * 2);
    QCOMPARE(dialog.size(), size);
    Grab(dialog, QStringLiteral("effects"));
}

void TestSettingsDialogs::effectsShowsFieldsAndOkWritesThem()
{
    TEffects effects{true, false, true, false, true, 1};
    Tfrm_Effects dialog(effects);
    QVERIFY(dialog.chk_VFlip->isChecked());
    QVERIFY(!dialog.chk_HFlip->isChecked());
    QVERIFY(dialog.chk_Negate->isChecked());
    QVERIFY(!dialog.chk_Dein->isChecked());
    QVERIFY(dialog.chk_Rotate->isChecked());
    QVERIFY(dialog.cb_Rotate->isEnabled());
    QCOMPARE(dialog.cb_Rotate->currentIndex(), 1);

    dialog.chk_VFlip->setChecked(false);
    dialog.chk_HFlip->setChecked(true);
    dialog.chk_Dein->setChecked(true);
    dialog.cb_Rotate->setCurrentIndex(2);
    QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(effects, (TEffects{false, true, true, true, true, 2}));
}

void TestSettingsDialogs::effectsCancelChangesNothing()
{
    TEffects effects{false, true, false, true, false, 2};
    const TEffects before = effects;
    {
        Tfrm_Effects dialog(effects);
        dialog.chk_HFlip->setChecked(false);
        dialog.chk_Rotate->setChecked(true);
        dialog.cb_Rotate->setCurrentIndex(0);
        QTest::mouseClick(dialog.btn_Cancel, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QCOMPARE(effects, before);
    {
        Tfrm_Effects dialog(effects);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.chk_Negate->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(effects, before);
}

void TestSettingsDialogs::effectsRotationRoundTrip()
{
    TEffects effects;
    {
        Tfrm_Effects dialog(effects);
        dialog.chk_Rotate->setChecked(true);
        QVERIFY(dialog.cb_Rotate->isEnabled());
        dialog.cb_Rotate->setCurrentIndex(1);
        QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
    }
    {
        Tfrm_Effects dialog(effects);
        QVERIFY(dialog.chk_Rotate->isChecked());
        QCOMPARE(dialog.cb_Rotate->currentText(), QStringLiteral("180 degrees"));
        QVERIFY(dialog.cb_Rotate->isEnabled());
        dialog.chk_Rotate->setChecked(false);
        QVERIFY(!dialog.cb_Rotate->isEnabled());
        QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
    }
    QVERIFY(!effects.ef_Rotate);
    QCOMPARE(effects.ef_Degrees, 1);  // kept for the next time rotation is switched on
    Tfrm_Effects dialog(effects);
    QVERIFY(!dialog.cb_Rotate->isEnabled());
    QCOMPARE(dialog.cb_Rotate->currentIndex(), 1);
}

void TestSettingsDialogs::effectsDegreesOutsideTheList()
{
    for (int degrees : {-5, 3, 1000}) {
        TEffects effects;
        effects.ef_Degrees = degrees;
        Tfrm_Effects dialog(effects);
        QCOMPARE(dialog.cb_Rotate->currentIndex(), 0);
        QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
        QCOMPARE(effects.ef_Degrees, 0);
    }
}

void TestSettingsDialogs::effectsExecuteOverParent()
{
    QWidget parent;
    parent.resize(600, 400);
    parent.show();
    TEffects effects;
    OnModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_Effects*>(modal);
        QVERIFY(dialog);
        QVERIFY(dialog->isModal());
        dialog->chk_Negate->setChecked(true);
        QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
    });
    QVERIFY(Tfrm_Effects::Execute(&parent, effects));
    QVERIFY(effects.ef_Negate);

    OnModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_Effects*>(modal);
        QVERIFY(dialog);
        dialog->chk_Negate->setChecked(false);
        QTest::mouseClick(dialog->btn_Cancel, Qt::LeftButton);
    });
    QVERIFY(!Tfrm_Effects::Execute(&parent, effects));
    QVERIFY(effects.ef_Negate);
}

void TestSettingsDialogs::customLayout()
{
    TOutputChoices choices;
    Tfrm_Custom dialog(choices);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Custom Frame Size"));
    QVERIFY(dialog.windowFlags() & Qt::Tool);
    for (QSpinBox* box : {dialog.txt_Width, dialog.txt_Height}) {
        QCOMPARE(box->value(), 1);
        QCOMPARE(box->minimum(), 1);
        QCOMPARE(box->maximum(), 99999);
        QCOMPARE(box->singleStep(), 1);
        QVERIFY(!box->isGroupSeparatorShown());
    }
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("Width:")));
    QVERIFY(labels.contains(QStringLiteral("Height:")));
    QVERIFY(labels.contains(QStringLiteral("x")));
    QCOMPARE(dialog.btn_OK->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.btn_Cancel->text(), QStringLiteral("Cancel"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.txt_Width->x() < dialog.txt_Height->x());
    TypeInto(dialog.txt_Width, QStringLiteral("12000"));
    QCOMPARE(dialog.FrameSizeText(), QStringLiteral("12000x1"));  // no thousands separator
    Grab(dialog, QStringLiteral("custom"));
}

void TestSettingsDialogs::customSelectsExistingOrReplacesLastSlot()
{
    TOutputChoices choices;
    auto enter = [&choices](const QString& width, const QString& height) {
        Tfrm_Custom dialog(choices);
        TypeInto(dialog.txt_Width, width);
        TypeInto(dialog.txt_Height, height);
        QVERIFY(dialog.btn_OK->isEnabled());
        QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    };
    enter(QStringLiteral("1280"), QStringLiteral("720"));
    QCOMPARE(choices.VideoFrameSizeText(), std::string("1280x720"));
    QCOMPARE(choices.CustomFrameSize, std::string("7680x4800"));

    enter(QStringLiteral("1000"), QStringLiteral("500"));
    QCOMPARE(choices.VideoFrameSize, 29);
    QCOMPARE(choices.CustomFrameSize, std::string("1000x500"));

    choices.VideoFrameSize = 3;
    enter(QStringLiteral("1000"), QStringLiteral("500"));
    QCOMPARE(choices.VideoFrameSize, 29);
    QCOMPARE(choices.VideoFrameSizeEntries().size(), std::size_t(30));

    // Each opening starts again from 1 x 1.
    Tfrm_Custom dialog(choices);
    QCOMPARE(dialog.FrameSizeText(), QStringLiteral("1x1"));
}

void TestSettingsDialogs::customCancelChangesNothing()
{
    TOutputChoices choices;
    const TOutputChoices before = choices;
    Tfrm_Custom dialog(choices);
    TypeInto(dialog.txt_Width, QStringLiteral("1000"));
    TypeInto(dialog.txt_Height, QStringLiteral("500"));
    QTest::mouseClick(dialog.btn_Cancel, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(choices == before);
}

void TestSettingsDialogs::customRejectsEmptyAndZero()
{
    TOutputChoices choices;
    const TOutputChoices before = choices;
    Tfrm_Custom dialog(choices);
    TypeInto(dialog.txt_Height, QStringLiteral("720"));
    for (const QString& width : {QString(), QStringLiteral("0")}) {
        TypeInto(dialog.txt_Width, width);
        QVERIFY2(!dialog.btn_OK->isEnabled(), qPrintable(width));
        QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
        QCOMPARE(dialog.result(), 0);
        QVERIFY(choices == before);
    }
    TypeInto(dialog.txt_Width, QStringLiteral("640"));
    QVERIFY(dialog.btn_OK->isEnabled());
}

void TestSettingsDialogs::customTypedValuesAboveRangeAreRefused()
{
    TOutputChoices choices;
    Tfrm_Custom dialog(choices);
    TypeInto(dialog.txt_Width, QStringLiteral("123456"));
    TypeInto(dialog.txt_Height, QStringLiteral("12a3"));
    QCOMPARE(dialog.FrameSizeText(), QStringLiteral("12345x123"));
    QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
    QCOMPARE(choices.CustomFrameSize, std::string("12345x123"));
}

void TestSettingsDialogs::commandLayout()
{
    Tfrm_Command dialog(2);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("FFMPEG Command"));
    QCOMPARE(dialog.lbl_Command->text(), QStringLiteral("Enter FFMPEG Command:"));
    QCOMPARE(dialog.lbl_Example->text(), QStringLiteral("Example: -b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn "));
    QVERIFY(dialog.txt_Command->text().isEmpty());
    QStringList formats;
    for (int i = 0; i < dialog.cb_VideoFormat->count(); ++i)
        formats << dialog.cb_VideoFormat->itemText(i);
    QCOMPARE(formats, QStringList({"AVI", "M4V", "MKV", "MOV", "MP4", "MPG", "TS", "VOB", "WebM", "WMV"}));
    QCOMPARE(dialog.cb_VideoFormat->currentText(), QStringLiteral("MKV"));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("Format:")));
    QCOMPARE(dialog.btn_OK->text(), QStringLiteral("OK"));
    QVERIFY(dialog.btn_OK->isDefault());
    QCOMPARE(dialog.btn_Cancel->text(), QStringLiteral("Cancel"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Caption over the box, the example under it, format and buttons at the bottom.
    QVERIFY(dialog.lbl_Command->y() < dialog.txt_Command->y());
    QVERIFY(dialog.txt_Command->y() < dialog.lbl_Example->y());
    QVERIFY(dialog.lbl_Example->y() < dialog.cb_VideoFormat->y());
    const QSize size = dialog.size();
    dialog.resize(size * 2);
    QCOMPARE(dialog.size(), size);
    QTest::keyClicks(dialog.txt_Command, QStringLiteral("-c:v libx264 -crf 23"));
    Grab(dialog, QStringLiteral("command"));

    // A format position outside the list selects nothing rather than a wrong container.
    Tfrm_Command outside(42);
    QCOMPARE(outside.FormatPosition(), -1);
}

void TestSettingsDialogs::commandOkTakesTextAsTypedAndFormat()
{
    QWidget parent;
    parent.show();
    // Blanks around the command reach the run unchanged.
    for (const QString& typed : {QStringLiteral("  -c:v mpeg4 -q:v 3  "), QStringLiteral("-an")}) {
        QString options;
        int format = 2;
        OnModal([typed](QWidget* modal) {
            auto* dialog = qobject_cast<Tfrm_Command*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->cb_VideoFormat->currentText(), QStringLiteral("MKV"));
            QTest::keyClicks(dialog->txt_Command, typed);
            dialog->cb_VideoFormat->setCurrentIndex(8);
            QTest::keyClick(dialog->txt_Command, Qt::Key_Return);  // the default button
        });
        QVERIFY(Tfrm_Command::Execute(&parent, options, format));
        QCOMPARE(options, typed);
        QCOMPARE(format, 8);
    }
}

void TestSettingsDialogs::commandCancelAndEscChangeNothing()
{
    QWidget parent;
    parent.show();
    const std::function<void(Tfrm_Command*)> leave[] = {
        [](Tfrm_Command* dialog) { QTest::mouseClick(dialog->btn_Cancel, Qt::LeftButton); },
        [](Tfrm_Command* dialog) { QTest::keyClick(dialog->txt_Command, Qt::Key_Escape); },
        [](Tfrm_Command* dialog) { dialog->close(); },
    };
    for (const auto& how : leave) {
        QString options = QStringLiteral("kept");
        int format = 4;
        OnModal([how](QWidget* modal) {
            auto* dialog = qobject_cast<Tfrm_Command*>(modal);
            QVERIFY(dialog);
            QTest::keyClicks(dialog->txt_Command, QStringLiteral("-an"));
            dialog->cb_VideoFormat->setCurrentIndex(0);
            how(dialog);
        });
        QVERIFY(!Tfrm_Command::Execute(&parent, options, format));
        QCOMPARE(options, QStringLiteral("kept"));
        QCOMPARE(format, 4);
    }
}

void TestSettingsDialogs::commandOkRefusesWhatTheEngineCannotRead()
{
    struct Case {
        QString typed;
        int format;  // WebM is 8, MKV 2
        QString problem;
    };
    const Case cases[] = {
        {QString(), 2, QStringLiteral("Type the options for the conversion")},
        {QStringLiteral("   "), 2, QStringLiteral("Type the options for the conversion")},
        {QStringLiteral("-c:v libx26"), 2, QStringLiteral("Unknown encoder 'libx26'")},
        {QStringLiteral("-vcodec mpeg4 -bogus 1"), 2, QStringLiteral("Option not found \"bogus\"")},
        {QStringLiteral("-f nosuchmuxer"), 8, QStringLiteral("'nosuchmuxer' is not a suitable output format")},
    };
    QWidget parent;
    parent.show();
    for (const Case& c : cases) {
        QString options;
        int format = c.format;
        OnModal([&c](QWidget* modal) {
            auto* dialog = qobject_cast<Tfrm_Command*>(modal);
            QVERIFY(dialog);
            QVERIFY(!dialog->lbl_Problem->isVisible());
            QTest::keyClicks(dialog->txt_Command, c.typed);
            QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
            // Still open, the problem named in the dialog; then the user corrects the command.
            QVERIFY(dialog->isVisible());
            QVERIFY(dialog->lbl_Problem->isVisible());
            QVERIFY2(dialog->lbl_Problem->text().contains(c.problem), qPrintable(dialog->lbl_Problem->text()));
            Grab(*dialog, QStringLiteral("command-problem"));
            dialog->txt_Command->setText(QStringLiteral("-c:v mpeg4 -an"));
            QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
        });
        QVERIFY(Tfrm_Command::Execute(&parent, options, format));
        QCOMPARE(options, QStringLiteral("-c:v mpeg4 -an"));
    }
}

void TestSettingsDialogs::commandFlowOnMainWindow()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    Tfrm_Main window;
    const reelsmith::test::TMainControls ui(window);
    reelsmith::TMainWindowHost host(window);
    ui.cb_VideoFormat->setCurrentIndex(2);
    window.cb_VideoFormatChange();
    auto encoders = [&ui] {
        QStringList list;
        for (int i = 0; i < ui.cb_VideoEncoder->count(); ++i)
            list << ui.cb_VideoEncoder->itemText(i);
        return list;
    };
    const QStringList mkvEncoders = encoders();

    // "OK" with a command: the format changes, the encoder lists stay until the user changes it.
    window.SetOptions(QStringLiteral("-vcodec leftover"));
    OnModal([](QWidget* modal) {
        auto* dialog = qobject_cast<Tfrm_Command*>(modal);
        QVERIFY(dialog);
        QVERIFY(dialog->txt_Command->text().isEmpty());
        QCOMPARE(dialog->cb_VideoFormat->currentText(), QStringLiteral("MKV"));
        QTest::keyClicks(dialog->txt_Command, QStringLiteral(" -an "));
        dialog->cb_VideoFormat->setCurrentIndex(dialog->cb_VideoFormat->findText(QStringLiteral("WebM")));
        QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
    });
    QVERIFY(reelsmith::RunCommandDialog(host));
    QCOMPARE(window.Options(), QStringLiteral(" -an "));
    QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
    QCOMPARE(encoders(), mkvEncoders);

    // The dialog opens again with the command last accepted; Cancel, also after an empty "OK"
    // was refused, ends the flow with no command left over.
    for (bool ok : {false, true}) {
        OnModal([ok](QWidget* modal) {
            auto* dialog = qobject_cast<Tfrm_Command*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->txt_Command->text(), QStringLiteral(" -an "));
            if (ok) {
                dialog->txt_Command->clear();
                QTest::mouseClick(dialog->btn_OK, Qt::LeftButton);
                QVERIFY(dialog->isVisible());
            }
            QTest::mouseClick(dialog->btn_Cancel, Qt::LeftButton);
        });
        QVERIFY(!reelsmith::RunCommandDialog(host));
        QVERIFY(window.Options().isEmpty());
        QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
    }
}

QTEST_MAIN(TestSettingsDialogs)
#include "test_settings_dialogs.moc"
