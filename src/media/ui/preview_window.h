#pragma once
// The Preview window: single frames of one source file, stepped through with four
// buttons, their keys and a slider, viewed at real size and saved as pictures. The frame
// logic is TPreviewSession's; this window draws it and passes the user's actions in.
#include <QDialog>
#include <QImage>
#include <QSlider>
#include <functional>

#include "media/frame_image.h"
#include "media/preview_session.h"

class QAction;
class QLabel;
class QTimer;
class QToolButton;
class QWidget;

namespace reelsmith {

// The picture area: the frame scaled to fit, aspect kept, black around it.
class TFramePicture : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetPicture(const QImage& image);
    const QImage& Picture() const { return m_Image; }
    // Drawn in place of a picture while there is none (e.g. "No video stream").
    void SetMessage(const QString& message);
    const QString& Message() const { return m_Message; }
    // Where the picture is drawn inside the area.
    QRect PictureRect() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_Image;
    QString m_Message;
};

// The frame slider: a click on the groove jumps to that place instead of moving a page.
class TFrameSlider : public QSlider {
    Q_OBJECT
public:
    using QSlider::QSlider;
    // The value a click at `x` (widget coordinates) stands for.
    int ValueAt(int x) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class Tfrm_Preview : public QDialog {
    Q_OBJECT
public:
    // Asks for the name to save the frame under; `kind` comes in as the type the dialog
    // starts with and goes out as the type of the filter chosen. Empty: cancelled.
    using TAskSaveName = std::function<QString(QWidget* parent, const QString& proposed, reelsmith::TImageKind& kind)>;

    // Opens `sourcePath` (the caption) 100 ms after the window is first shown.
    Tfrm_Preview(QWidget* parent, const QString& sourcePath, const QString& libraryFolder);
    ~Tfrm_Preview() override;

    reelsmith::TPreviewSession& Session() { return m_Session; }
    // The save dialog; tests put their own answer here.
    TAskSaveName AskSaveName;

    TFramePicture* Image1 = nullptr;
    QWidget* pnl_Top = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* lblPTS = nullptr;
    QToolButton* btn_First = nullptr;
    QToolButton* btn_Previous = nullptr;
    QToolButton* btn_Next = nullptr;
    QToolButton* btn_Last = nullptr;
    TFrameSlider* TrackBar1 = nullptr;
    QAction* SaveImageAs1 = nullptr;
    // The same command as SaveImageAs1, visible beside the frame buttons.
    QToolButton* btn_SaveFrame = nullptr;
    QTimer* tmr_Open = nullptr;

    void btn_FirstClick();
    void btn_PreviousClick();
    void btn_NextClick();
    void btn_LastClick();
    void SaveImageAs1Click();
    void Image1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLayout();
    void SetButtonImages();
    void OpenFile();
    void TrackBar1Change(int position);
    // Shows the session's frame, time and slider.
    void ShowState();
    void ShowSlider();
    // The buttons work only on an open file with video; without, the picture says so.
    void ShowControls();
    bool SaveImage(const reelsmith::TImageTarget& target, QString& error) const;

    reelsmith::TPreviewSession m_Session;
    QString m_SourcePath;
    bool m_Shown = false;
    bool m_Opened = false;  // the open was tried
};

// The real-size view of one frame, captioned "%dx%d @ %s"; a click, Enter or Esc closes it.
class Tfrm_RealSize : public QDialog {
    Q_OBJECT
public:
    Tfrm_RealSize(QWidget* parent, const QImage& image, const QString& timeText);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The default save dialog: the three picture types, overwrite prompt, the proposed name.
QString AskFrameSaveName(QWidget* parent, const QString& proposed, reelsmith::TImageKind& kind);

// Writes the picture under the target's name in its type (BMP 32-bit, JPEG quality 90
// baseline, PNG); the file appears only when complete. False with the reason.
bool SaveFramePicture(const reelsmith::TRGBPicture& picture, const reelsmith::TImageTarget& target, QString& error);

}  // namespace reelsmith
