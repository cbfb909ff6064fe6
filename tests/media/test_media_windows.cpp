// The Preview and Properties windows on the offscreen platform, and the main window's
// Preview (F3, toolbar) and Properties (F4) commands that open them.
#include "support/screenshot.h"
#include <QAction>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "base/qt/number_format.h"
#include "app/ui/main_window.h"
#include "program/program_hooks.h"
#include "media/ui/preview_window.h"
#include "media/ui/properties_window.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

QString TenSecondClip()
{
    return QString::fromStdString(
        test::MakeMedia("preview-10s.mp4",
                        "-f lavfi -i testsrc=size=160x120:rate=25:duration=10 -c:v libx264 -bf 2 "
                        "-x264-params keyint=50:min-keyint=50:scenecut=0 -pix_fmt yuv420p"));
}

// Calls `act` with the next modal window of type T.
template <typename T>
void WhenModal(const std::function<void(T&)>& act)
{
    QTimer::singleShot(50, [=] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window) {
            WhenModal(act);
            return;
        }
        act(*window);
    });
}

// Answers the next message box with OK, counting it and keeping its caption and text.
void AnswerMessageBox(int* count, QString* caption, QString* text)
{
    WhenModal<QMessageBox>([=](QMessageBox& box) {
        ++*count;
        *caption = box.windowTitle();
        *text = box.text();
        box.accept();
    });
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TFileListRow Row(const QString& path, const QString& frameRate, const QString& bitRate, const QString& frameSize)
{
    TFileListRow row;
    row.Caption = QFileInfo(path).fileName();
    row.cell(FileCell::DurationText) = QStringLiteral("00:00:10");
    row.cell(FileCell::SizeText) = QStringLiteral("1,234,567");
    row.cell(FileCell::SourcePath) = path;
    row.cell(FileCell::DurationMicros) = QStringLiteral("10000000");
    row.cell(FileCell::SizeBytes) = QStringLiteral("1234567");
    row.cell(FileCell::FrameRateText) = frameRate;
    row.cell(FileCell::BitRateText) = bitRate;
    row.cell(FileCell::FrameSizeText) = frameSize;
    return row;
}

}  // namespace

class TestMediaWindows : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_Folder;
    QString Path(const QString& name) const { return m_Folder.path() + QLatin1Char('/') + name; }
    // A shown Preview window of `path`, once its file has been opened.
    void OpenPreview(Tfrm_Preview& window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.Session().IsOpen());
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_Folder.path().toLocal8Bit()); }

    void previewStepsWithButtonsKeysAndSlider()
    {
        Tfrm_Preview window(nullptr, TenSecondClip(), {});
        QCOMPARE(window.btn_First->toolTip(), QStringLiteral("Previous key frame (Ctrl+Left)"));
        QCOMPARE(window.btn_Previous->toolTip(), QStringLiteral("Previous frame"));
        QCOMPARE(window.btn_Next->toolTip(), QStringLiteral("Next frame"));
        QCOMPARE(window.btn_Last->toolTip(), QStringLiteral("Next key frame (Ctrl+Right)"));
        QVERIFY(!window.SaveImageAs1->isEnabled());
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.000"));
        OpenPreview(window);
        QCOMPARE(window.windowTitle(), TenSecondClip());
        QVERIFY(window.SaveImageAs1->isEnabled());
        QCOMPARE(window.TrackBar1->maximum(), 250);
        QCOMPARE(window.TrackBar1->tickInterval(), 25);
        QCOMPARE(window.TrackBar1->pageStep(), 12);
        QVERIFY(window.TrackBar1->isEnabled());
        QCOMPARE(window.Image1->Picture().size(), QSize(160, 120));
        SaveScreenshot(window, QStringLiteral("preview.png"));

        QTest::mouseClick(window.btn_Next, Qt::LeftButton);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.040"));
        QCOMPARE(window.TrackBar1->value(), 1);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.TrackBar1->setFocus();
        QTest::keyClick(window.TrackBar1, Qt::Key_Right);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.080"));
        QTest::keyClick(window.TrackBar1, Qt::Key_PageUp);  // 12 positions: a seek
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.560"));
        QCOMPARE(window.TrackBar1->value(), 14);
        QTest::keyClick(window.TrackBar1, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:02.000"));
        QCOMPARE(window.TrackBar1->value(), 50);
        QTest::mouseClick(window.btn_Previous, Qt::LeftButton);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:01.960"));
        QTest::keyClick(window.TrackBar1, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.000"));
        QTest::mouseClick(window.btn_Last, Qt::LeftButton);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:02.000"));
        QTest::mouseClick(window.btn_First, Qt::LeftButton);
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.000"));

        // The picture keeps its aspect inside any window shape.
        window.resize(600, 200);
        QTRY_COMPARE(window.Image1->width(), 600);
        const QRect drawn = window.Image1->PictureRect();
        QCOMPARE(drawn.height(), window.Image1->height());
        QVERIFY(qAbs(drawn.width() * 120 - drawn.height() * 160) <= 160);
        QVERIFY(qAbs(drawn.center().x() - window.Image1->width() / 2) <= 1);
    }

    void saveImageWritesTheTypeOfTheExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QByteArray>("format");
        const QByteArray bmp("BM"), jpeg("\xFF\xD8\xFF"), png("\x89PNG\r\n\x1A\n");
        const int asBmp = int(TImageKind::Bmp), asJpeg = int(TImageKind::Jpeg), asPng = int(TImageKind::Png);
        QTest::newRow(".BMP") << "a.BMP" << asJpeg << "a.BMP" << bmp << QByteArray("bmp");
        QTest::newRow(".jpg") << "b.jpg" << asBmp << "b.jpg" << jpeg << QByteArray("jpeg");
        QTest::newRow(".jpeg") << "c.jpeg" << asBmp << "c.jpeg" << jpeg << QByteArray("jpeg");
        QTest::newRow(".png") << "d.png" << asBmp << "d.png" << png << QByteArray("png");
        QTest::newRow("bare name") << "e" << asBmp << "e.bmp" << bmp << QByteArray("bmp");
        QTest::newRow("other extension") << "f.gif" << asPng << "f.gif.png" << png << QByteArray("png");
    }

    void saveImageWritesTheTypeOfTheExtension()
    {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        QFETCH(QString, saved);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, format);
        Tfrm_Preview window(nullptr, TenSecondClip(), {});
        OpenPreview(window);
        QString proposed;
        window.AskSaveName = [&](QWidget*, const QString& name, TImageKind& kind) {
            proposed = name;
            kind = TImageKind(filter);
            return Path(typed);
        };
        window.SaveImageAs1->trigger();
        QCOMPARE(proposed, QStringLiteral("preview-10s"));
        const QByteArray bytes = ReadFile(Path(saved));
        QVERIFY(bytes.startsWith(signature));
        QImageReader reader(Path(saved));
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), QSize(160, 120));
        if (format == "bmp")
            QCOMPARE(int(uchar(bytes.at(28))), 32);  // bits per pixel
        if (format == "jpeg") {
            QVERIFY(bytes.contains("\xFF\xC0"));   // baseline frame header
            QVERIFY(!bytes.contains("\xFF\xC2"));  // no progressive one
        }
        QDir(m_Folder.path()).remove(saved);
    }

    void saveImageFailureShowsTheSystemsReason()
    {
        Tfrm_Preview window(nullptr, TenSecondClip(), {});
        OpenPreview(window);
        const QString target = Path(QStringLiteral("no-such-folder/frame.png"));
        window.AskSaveName = [&](QWidget*, const QString&, TImageKind&) { return target; };
        int boxes = 0;
        QString caption, text;
        AnswerMessageBox(&boxes, &caption, &text);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes, 1);
        QCOMPARE(caption, QStringLiteral("Error"));
        QCOMPARE(text, target + QStringLiteral(": No such file or directory"));
        QVERIFY(!QFileInfo::exists(target));
    }

    void fileThatCannotBeOpenedShowsOneErrorAndStaysUsable()
    {
        const QString path = Path(QStringLiteral("notes.avi"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("these are notes, not a video\n");
        file.close();
        Tfrm_Preview window(nullptr, path, {});
        int boxes = 0;
        QString caption, text;
        AnswerMessageBox(&boxes, &caption, &text);
        window.show();
        QTRY_COMPARE(boxes, 1);
        QCOMPARE(caption, QStringLiteral("Error"));
        QCOMPARE(text, path + QStringLiteral(": Invalid data found when processing input"));
        QVERIFY(!window.SaveImageAs1->isEnabled());
        for (QToolButton* button : {window.btn_First, window.btn_Previous, window.btn_Next, window.btn_Last})
            QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(window.Image1, Qt::LeftButton);  // no frame: no real-size view
        QTest::qWait(300);
        QCOMPARE(boxes, 1);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(window.isVisible());
        QCOMPARE(window.lblPTS->text(), QStringLiteral("00:00:00.000"));
    }

    void stillPictureAndAudioOnly()
    {
        const QString still = QString::fromStdString(
            test::MakeMedia("preview-still.jpg", "-f lavfi -i testsrc=size=160x120:rate=1 -frames:v 1"));
        Tfrm_Preview picture(nullptr, still, {});
        OpenPreview(picture);
        QCOMPARE(picture.Image1->Picture().size(), QSize(160, 120));
        QVERIFY(!picture.TrackBar1->isEnabled());
        QTest::mouseClick(picture.btn_Next, Qt::LeftButton);
        QCOMPARE(picture.Image1->Picture().size(), QSize(160, 120));

        const QString audio =
            QString::fromStdString(test::MakeMedia("preview-audio.mp3", "-f lavfi -i sine=duration=2 -c:a libmp3lame"));
        Tfrm_Preview sound(nullptr, audio, {});
        OpenPreview(sound);
        QVERIFY(sound.Image1->Picture().isNull());
        QCOMPARE(sound.Image1->Message(), QStringLiteral("No video stream"));
        QVERIFY(!sound.TrackBar1->isEnabled());
        // Nothing to step through or save: the controls say so by being disabled.
        for (QToolButton* button :
             {sound.btn_First, sound.btn_Previous, sound.btn_Next, sound.btn_Last, sound.btn_SaveFrame})
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        QVERIFY(!sound.SaveImageAs1->isEnabled());
        SaveScreenshot(sound, QStringLiteral("preview_audio_only.png"));
        QVERIFY(picture.Image1->Message().isEmpty());
        QVERIFY(picture.btn_Next->isEnabled());
    }

    // A click on the groove goes to that place (a seek), not one page on; the visible
    // Save frame button saves as the menu entry does.
    void grooveClickJumpsAndSaveFrameButton()
    {
        Tfrm_Preview window(nullptr, TenSecondClip(), {});
        window.resize(592, 473);
        OpenPreview(window);
        QVERIFY(window.btn_SaveFrame->isVisible());
        QVERIFY(window.btn_SaveFrame->isEnabled());
        QCOMPARE(window.btn_SaveFrame->text(), QStringLiteral("Save frame..."));
        const struct {
            double Place;  // of the slider's width
            int Least, Most;
        } clicks[] = {{0.75, 180, 195}, {0.25, 55, 70}, {0.5, 118, 132}};
        for (const auto& click : clicks) {
            const int x = qRound(window.TrackBar1->width() * click.Place);
            const int expected = window.TrackBar1->ValueAt(x);
            QVERIFY2(expected >= click.Least && expected <= click.Most, qPrintable(QString::number(expected)));
            QTest::mouseClick(window.TrackBar1, Qt::LeftButton, {}, QPoint(x, window.TrackBar1->height() / 2));
            QCOMPARE(window.TrackBar1->value(), expected);
            // The frame shown is the one at the clicked place.
            const qint64 micros = qint64(expected) * 10000000 / 250;
            QVERIFY2(qAbs(window.Session().CurrentPTS() - micros) <= 40000,
                     qPrintable(QString::number(window.Session().CurrentPTS())));
        }
        QString proposed;
        window.AskSaveName = [&](QWidget*, const QString& name, TImageKind&) {
            proposed = name;
            return QString();  // cancelled
        };
        QTest::mouseClick(window.btn_SaveFrame, Qt::LeftButton);
        QCOMPARE(proposed, QStringLiteral("preview-10s"));
    }

    void realSizeViewShowsTheFrameUnscaledAndCloses()
    {
        Tfrm_Preview window(nullptr, TenSecondClip(), {});
        OpenPreview(window);
        QTest::mouseClick(window.btn_Next, Qt::LeftButton);
        const struct {
            Qt::Key key;  // Qt::Key_unknown: a click
        } closers[] = {{Qt::Key_Escape}, {Qt::Key_Return}, {Qt::Key_unknown}};
        for (const auto& closer : closers) {
            QString caption;
            QSize client, picture;
            bool closed = false;
            WhenModal<Tfrm_RealSize>([&](Tfrm_RealSize& view) {
                caption = view.windowTitle();
                client = view.size();
                picture = view.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().size();
                SaveScreenshot(view, QStringLiteral("preview_real_size.png"));
                if (closer.key == Qt::Key_unknown)
                    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(10, 10));
                else
                    QTest::keyClick(&view, closer.key);
                closed = !view.isVisible();
                if (!closed)
                    view.reject();
            });
            QTest::mouseClick(window.Image1, Qt::LeftButton);
            QCOMPARE(caption, QStringLiteral("160x120 @ 00:00:00.040"));
            QCOMPARE(client, QSize(160, 120));
            QCOMPARE(picture, QSize(160, 120));
            QVERIFY2(closed, qPrintable(QStringLiteral("key %1").arg(closer.key)));
        }
    }

    void propertiesShowTheRowEvenForADeletedSource()
    {
        Tfrm_Properties window(nullptr);
        window.SetRow(Row(QStringLiteral("/gone/away/holiday.mkv"), QStringLiteral("25 fps"), QStringLiteral("1200 kb"),
                          QStringLiteral("1920x1080")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Properties"));
        QCOMPARE(window.txt_Name->text(), QStringLiteral("holiday.mkv"));
        QCOMPARE(window.txt_Source->text(), QStringLiteral("/gone/away/holiday.mkv"));
        QCOMPARE(window.txt_Type->text(), FileTypeName(QStringLiteral("x.mkv")));
        QVERIFY(!window.txt_Type->text().isEmpty());
        QCOMPARE(window.txt_Size->text(), FormatFileSize(1234567));
        QCOMPARE(window.txt_Duration->text(), QStringLiteral("00:00:10"));
        QCOMPARE(window.txt_FrameRate->text(), QStringLiteral("25 fps"));
        QCOMPARE(window.txt_Bitrate->text(), QStringLiteral("1200 kbit/s"));
        QCOMPARE(window.txt_FrameSize->text(), QStringLiteral("1920x1080"));
        // No codecs known for this row: each detail reads "-".
        for (QLineEdit* field : {window.txt_VideoCodec, window.txt_AudioCodec, window.txt_AudioFormat,
                                 window.txt_SampleRate, window.txt_Channels})
            QCOMPARE(field->text(), QStringLiteral("-"));
        QVERIFY(!window.Image1->pixmap().isNull());
        for (QLineEdit* field : window.findChildren<QLineEdit*>())
            QVERIFY(field->isReadOnly());
        QVERIFY(window.btn_OK->isDefault());
        SaveScreenshot(window, QStringLiteral("properties.png"));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());

        Tfrm_Properties audio(nullptr);
        audio.SetRow(
            Row(QStringLiteral("/music/song.mp3"), QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-")));
        QCOMPARE(audio.txt_FrameRate->text(), QStringLiteral("-"));
        QCOMPARE(audio.txt_Bitrate->text(), QStringLiteral("-"));
        QCOMPARE(audio.txt_FrameSize->text(), QStringLiteral("-"));
        audio.show();
        QTest::keyClick(&audio, Qt::Key_Return);
        QVERIFY(!audio.isVisible());
    }

    // The codecs and audio details the probe wrote into the row.
    void propertiesShowCodecsAndAudioDetails()
    {
        struct TCase {
            const char* Name;
            TProbedMedia Media;
            const char* VideoCodec;
            const char* AudioCodec;
            const char* AudioFormat;
            const char* SampleRate;
            const char* Channels;
        };
        const auto media = [](const char* video, const char* audio, const char* format, int rate, int channels,
                              const char* layout) {
            TProbedMedia m;
            m.VideoCodec = video;
            m.AudioCodec = audio;
            m.AudioFormat = format;
            m.SampleRate = rate;
            m.Channels = channels;
            m.ChannelLayout = layout;
            return m;
        };
        const TCase cases[] = {
            {"video and stereo",
             media("H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (h264)", "AAC (Advanced Audio Coding) (aac)",
                   "32-bit float, planar", 48000, 2, "stereo"),
             "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (h264)", "AAC (Advanced Audio Coding) (aac)",
             "32-bit float, planar", "48000 Hz", "2 (stereo)"},
            {"audio only, 5.1", media("", "FLAC (Free Lossless Audio Codec) (flac)", "16-bit integer", 44100, 6, "5.1"),
             "-", "FLAC (Free Lossless Audio Codec) (flac)", "16-bit integer", "44100 Hz", "6 (5.1)"},
            {"channels without a named layout",
             media("MPEG-4 part 2 (mpeg4)", "PCM (pcm_s16le)", "16-bit integer", 8000, 3, "3 channels"),
             "MPEG-4 part 2 (mpeg4)", "PCM (pcm_s16le)", "16-bit integer", "8000 Hz", "3"},
            {"video without audio", media("MPEG-4 part 2 (mpeg4)", "", "", 0, 0, ""), "MPEG-4 part 2 (mpeg4)", "-", "-",
             "-", "-"},
        };
        for (const TCase& c : cases) {
            TFileListRow row = Row(QStringLiteral("/v/clip.mp4"), QStringLiteral("25.00 fps"),
                                   QStringLiteral("3877 kb"), QStringLiteral("640x360"));
            row.Media = c.Media;
            Tfrm_Properties window(nullptr);
            window.SetRow(row);
            QCOMPARE(window.txt_Bitrate->text(), QStringLiteral("3877 kbit/s"));
            QCOMPARE(window.txt_VideoCodec->text(), QString::fromUtf8(c.VideoCodec));
            QCOMPARE(window.txt_AudioCodec->text(), QString::fromUtf8(c.AudioCodec));
            QCOMPARE(window.txt_AudioFormat->text(), QString::fromUtf8(c.AudioFormat));
            QCOMPARE(window.txt_SampleRate->text(), QString::fromUtf8(c.SampleRate));
            QCOMPARE(window.txt_Channels->text(), QString::fromUtf8(c.Channels));
            if (c.Media.Channels == 2) {
                window.show();
                QVERIFY(QTest::qWaitForWindowExposed(&window));
                SaveScreenshot(window, QStringLiteral("properties_codecs.png"));
            }
        }
    }

    void mainWindowCommandsOpenBothWindows()
    {
        TMainWindowHooks hooks;
        InstallMediaHooks(hooks);
        Tfrm_Main main({}, hooks);
        const test::TMainControls ui(main);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const QString clip = TenSecondClip();
        main.Files().Append(Row(clip, QStringLiteral("25 fps"), QStringLiteral("-"), QStringLiteral("160x120")));
        main.SelectRow(0, true);

        // F3, the toolbar button and the menu entry each open the Preview of the row.
        const std::function<void()> commands[] = {
            [&] { QTest::keyClick(&main, Qt::Key_F3); },
            [&] { QTest::mouseClick(ui.btn_Play, Qt::LeftButton); },
            [&] { ui.act_Preview->trigger(); },
        };
        for (const auto& command : commands) {
            QString caption;
            QString time;
            WhenModal<Tfrm_Preview>([&](Tfrm_Preview& preview) {
                caption = preview.windowTitle();
                QTRY_VERIFY(preview.Session().HasFrame());
                time = preview.lblPTS->text();
                preview.reject();
            });
            main.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&main));
            command();
            QCOMPARE(caption, clip);
            QCOMPARE(time, QStringLiteral("00:00:00.000"));
        }

        QString name;
        WhenModal<Tfrm_Properties>([&](Tfrm_Properties& properties) {
            name = properties.txt_Name->text();
            QTest::mouseClick(properties.btn_OK, Qt::LeftButton);
        });
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F4);
        QCOMPARE(name, QStringLiteral("preview-10s.mp4"));
        main.close();
    }
};

QTEST_MAIN(TestMediaWindows)
#include "test_media_windows.moc"
