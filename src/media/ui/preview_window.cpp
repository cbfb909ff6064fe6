#include "media/ui/preview_window.h"

#include <QAction>
#include <QBoxLayout>
#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>

#include "base/ui/toolbar_icons.h"

namespace reelsmith {

namespace {

// The frame as a QImage over the session's bytes (no copy; valid while they stay).
QImage FrameImage(const TRGBPicture& picture)
{
    if (picture.Width <= 0 || picture.Height <= 0 || picture.PixFmt != AV_PIX_FMT_BGRA)
        return {};
    return QImage(picture.Bytes.data(), picture.Width, picture.Height, picture.Stride, QImage::Format_RGB32);
}

QIcon ButtonIcon(std::initializer_list<const char*> names, QStyle::StandardPixmap fallback, const QWidget* context)
{
    EnsureIconTheme();
    for (const char* name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return icon;
    }
    return context->style()->standardIcon(fallback, nullptr, context);
}

enum class TStep { FirstKey, Previous, Next, LastKey };

// The frame buttons' pictures, drawn in the window's text colour: the theme's arrows are pale
// grey and looked disabled on a light window. The disabled picture uses the disabled colour.
QPixmap StepPixmap(TStep step, int side, const QColor& colour)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal s = side;
    const bool forward = step == TStep::Next || step == TStep::LastKey;
    const bool key = step == TStep::FirstKey || step == TStep::LastKey;
    // A triangle pointing the way, with a bar at its tip for the key-frame steps.
    QPolygonF triangle;
    if (forward)
        triangle << QPointF(s * 0.25, s * 0.2) << QPointF(s * 0.7, s * 0.5) << QPointF(s * 0.25, s * 0.8);
    else
        triangle << QPointF(s * 0.75, s * 0.2) << QPointF(s * 0.3, s * 0.5) << QPointF(s * 0.75, s * 0.8);
    painter.drawPolygon(triangle);
    if (key)
        painter.drawRect(QRectF(forward ? s * 0.72 : s * 0.14, s * 0.2, s * 0.14, s * 0.6));
    return pixmap;
}

QIcon StepIcon(TStep step, const QWidget* context)
{
    QIcon icon;
    const QPalette& palette = context->palette();
    for (const int side : {16, 24, 32}) {
        icon.addPixmap(StepPixmap(step, side, palette.color(QPalette::Active, QPalette::ButtonText)), QIcon::Normal);
        icon.addPixmap(StepPixmap(step, side, palette.color(QPalette::Disabled, QPalette::ButtonText)),
                       QIcon::Disabled);
    }
    return icon;
}

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);  // the slider keeps the arrow keys
    return button;
}

const QString kSaveFilter = QStringLiteral("Bitmaps (*.bmp);;JPEG Image File (*.jpg *.jpeg);;PNG Image (*.png)");

TImageKind KindOfFilter(const QString& filter)
{
    if (filter.startsWith(QLatin1String("JPEG")))
        return TImageKind::Jpeg;
    if (filter.startsWith(QLatin1String("PNG")))
        return TImageKind::Png;
    return TImageKind::Bmp;
}

}  // namespace

// ---- picture area ----

void TFramePicture::SetPicture(const QImage& image)
{
    m_Image = image;
    update();
}

QRect TFramePicture::PictureRect() const
{
    if (m_Image.isNull())
        return {};
    const QSize size = m_Image.size().scaled(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void TFramePicture::SetMessage(const QString& message)
{
    m_Message = message;
    update();
}

void TFramePicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_Image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(PictureRect(), m_Image);
    } else if (!m_Message.isEmpty()) {
        painter.setPen(QColor(0xD0, 0xD0, 0xD0));  // on black in both themes
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_Message);
    }
}

void TFramePicture::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

// ---- frame slider ----

int TFrameSlider::ValueAt(int x) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The handle's centre goes where the click was.
    const int span = groove.width() - handle.width();
    const int at = x - groove.x() - handle.width() / 2;
    return QStyle::sliderValueFromPosition(minimum(), maximum(), at, span, option.upsideDown);
}

void TFrameSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isEnabled()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        // Off the handle: jump there; the press then grabs the handle now under the pointer.
        if (!handle.contains(event->position().toPoint()))
            setValue(ValueAt(event->position().toPoint().x()));
    }
    QSlider::mousePressEvent(event);
}

// ---- Preview window ----

Tfrm_Preview::Tfrm_Preview(QWidget* parent, const QString& sourcePath, const QString& libraryFolder)
    : QDialog(parent), AskSaveName(AskFrameSaveName), m_Session(QFile::encodeName(libraryFolder).toStdString()),
      m_SourcePath(sourcePath)
{
    setObjectName(QStringLiteral("frm_Preview"));
    setWindowTitle(sourcePath);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BuildLayout();
    SetButtonImages();
    resize(592, 473);
    setMinimumSize(200, 200);

    tmr_Open = new QTimer(this);
    tmr_Open->setSingleShot(true);
    tmr_Open->setInterval(100);
    connect(tmr_Open, &QTimer::timeout, this, &Tfrm_Preview::OpenFile);
    ShowState();
}

Tfrm_Preview::~Tfrm_Preview() { m_Session.Close(); }

void Tfrm_Preview::BuildLayout()
{
    Image1 = new TFramePicture(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setMinimumSize(16, 16);
    Image1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Image1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(Image1, &TFramePicture::clicked, this, &Tfrm_Preview::Image1Click);

    SaveImageAs1 = new QAction(QStringLiteral("Save Image As..."), this);
    SaveImageAs1->setObjectName(QStringLiteral("SaveImageAs1"));
    SaveImageAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveImageAs1->setEnabled(false);
    Image1->addAction(SaveImageAs1);
    addAction(SaveImageAs1);  // so Ctrl+S works wherever the focus is
    connect(SaveImageAs1, &QAction::triggered, this, &Tfrm_Preview::SaveImageAs1Click);

    pnl_Top = new QWidget(this);
    pnl_Top->setObjectName(QStringLiteral("pnl_Top"));
    TrackBar1 = new TFrameSlider(Qt::Horizontal, pnl_Top);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setSingleStep(1);
    connect(TrackBar1, &QSlider::valueChanged, this, &Tfrm_Preview::TrackBar1Change);

    Panel2 = new QWidget(pnl_Top);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    lblPTS = new QLabel(Panel2);
    lblPTS->setObjectName(QStringLiteral("lblPTS"));
    lblPTS->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btn_First = MakeButton(Panel2, "btn_First", QStringLiteral("Previous key frame (Ctrl+Left)"));
    btn_Previous = MakeButton(Panel2, "btn_Previous", QStringLiteral("Previous frame"));
    btn_Next = MakeButton(Panel2, "btn_Next", QStringLiteral("Next frame"));
    btn_Last = MakeButton(Panel2, "btn_Last", QStringLiteral("Next key frame (Ctrl+Right)"));
    connect(btn_First, &QToolButton::clicked, this, &Tfrm_Preview::btn_FirstClick);
    connect(btn_Previous, &QToolButton::clicked, this, &Tfrm_Preview::btn_PreviousClick);
    connect(btn_Next, &QToolButton::clicked, this, &Tfrm_Preview::btn_NextClick);
    connect(btn_Last, &QToolButton::clicked, this, &Tfrm_Preview::btn_LastClick);
    btn_SaveFrame = MakeButton(Panel2, "btn_SaveFrame", QStringLiteral("Save Image As... (Ctrl+S)"));
    btn_SaveFrame->setText(QStringLiteral("Save frame..."));
    btn_SaveFrame->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btn_SaveFrame->setEnabled(false);
    connect(btn_SaveFrame, &QToolButton::clicked, SaveImageAs1, &QAction::trigger);
    connect(SaveImageAs1, &QAction::changed, btn_SaveFrame,
            [this] { btn_SaveFrame->setEnabled(SaveImageAs1->isEnabled()); });
    auto* first = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left), this);
    auto* last = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), this);
    connect(first, &QShortcut::activated, this, &Tfrm_Preview::btn_FirstClick);
    connect(last, &QShortcut::activated, this, &Tfrm_Preview::btn_LastClick);

    auto* buttons = new QHBoxLayout(Panel2);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    buttons->addWidget(lblPTS);
    buttons->addSpacing(8);
    for (QToolButton* button : {btn_First, btn_Previous, btn_Next, btn_Last})
        buttons->addWidget(button);
    buttons->addSpacing(8);
    buttons->addWidget(btn_SaveFrame);

    // The slider across the strip, the time and buttons centred under it.
    auto* strip = new QVBoxLayout(pnl_Top);
    strip->setContentsMargins(6, 4, 6, 4);
    strip->setSpacing(2);
    strip->addWidget(TrackBar1);
    strip->addWidget(Panel2, 0, Qt::AlignHCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Image1, 1);
    layout->addWidget(pnl_Top);
}

void Tfrm_Preview::SetButtonImages()
{
    const int size = logicalDpiX() > 150 ? 32 : 16;
    btn_First->setIcon(StepIcon(TStep::FirstKey, this));
    btn_Previous->setIcon(StepIcon(TStep::Previous, this));
    btn_Next->setIcon(StepIcon(TStep::Next, this));
    btn_Last->setIcon(StepIcon(TStep::LastKey, this));
    btn_SaveFrame->setIcon(ButtonIcon({"document-save-as", "document-save"}, QStyle::SP_DialogSaveButton, this));
    for (QToolButton* button : {btn_First, btn_Previous, btn_Next, btn_Last, btn_SaveFrame})
        button->setIconSize(QSize(size, size));
}

void Tfrm_Preview::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_Shown)
        return;
    m_Shown = true;
    if (parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
    tmr_Open->start();  // the window paints before the file is opened
}

void Tfrm_Preview::OpenFile()
{
    tmr_Open->stop();
    m_Opened = true;
    const bool opened = m_Session.Open(QFile::encodeName(m_SourcePath).toStdString());
    ShowState();
    if (!opened) {
        QMessageBox::critical(this, QStringLiteral("Error"), QString::fromStdString(m_Session.LastErrMsg()));
        return;
    }
    SaveImageAs1->setEnabled(m_Session.HasVideo());
}

void Tfrm_Preview::ShowState()
{
    lblPTS->setText(QString::fromStdString(m_Session.TimeText()));
    ShowSlider();
    ShowControls();
    Image1->SetPicture(FrameImage(m_Session.Bitmap()));
}

void Tfrm_Preview::ShowControls()
{
    // Before the file is opened the buttons stay live, as the window starts.
    const bool live = !m_Session.IsOpen() ? !m_Opened : m_Session.HasVideo();
    for (QToolButton* button : {btn_First, btn_Previous, btn_Next, btn_Last})
        button->setEnabled(live);
    Image1->SetMessage(m_Session.IsOpen() && !m_Session.HasVideo() ? QStringLiteral("No video stream") : QString());
}

void Tfrm_Preview::ShowSlider()
{
    const TSliderState& slider = m_Session.Slider();
    const QSignalBlocker quiet(TrackBar1);  // the program moves it, not the user
    TrackBar1->setMaximum(slider.Maximum);
    TrackBar1->setTickInterval(slider.TickFrequency);
    TrackBar1->setPageStep(slider.PageSize);
    TrackBar1->setValue(slider.Position);
    TrackBar1->setEnabled(slider.Enabled);
}

void Tfrm_Preview::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_Session.ConfigureSlider();
    ShowSlider();
}

void Tfrm_Preview::btn_FirstClick()
{
    if (m_Session.PreviousKeyFrame())
        ShowState();
}

void Tfrm_Preview::btn_PreviousClick()
{
    if (m_Session.PreviousFrame())
        ShowState();
}

void Tfrm_Preview::btn_NextClick()
{
    if (m_Session.NextFrame())
        ShowState();
}

void Tfrm_Preview::btn_LastClick()
{
    if (m_Session.NextKeyFrame())
        ShowState();
}

void Tfrm_Preview::TrackBar1Change(int position)
{
    m_Session.MoveSlider(position);
    ShowState();
}

void Tfrm_Preview::Image1Click()
{
    if (!m_Session.HasFrame())
        return;
    Tfrm_RealSize view(this, FrameImage(m_Session.Bitmap()), QString::fromStdString(m_Session.TimeText()));
    view.exec();
}

void Tfrm_Preview::SaveImageAs1Click()
{
    if (!m_Session.HasFrame())
        return;
    TImageKind kind = TImageKind::Bmp;
    const QString chosen = AskSaveName(this, QFileInfo(m_SourcePath).completeBaseName(), kind);
    if (chosen.isEmpty())
        return;
    const TImageTarget target = ChooseImageTarget(QFile::encodeName(chosen).toStdString(), kind);
    const QString path = QFile::decodeName(QByteArray::fromStdString(target.Path));
    // The dialog asked about the name typed; an added extension makes another name.
    if (path != chosen && QFileInfo::exists(path) &&
        QMessageBox::warning(this, QStringLiteral("Confirm Save As"),
                             QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    QString error;
    if (!SaveFramePicture(m_Session.Bitmap(), target, error))
        QMessageBox::critical(this, QStringLiteral("Error"), path + QStringLiteral(": ") + error);
}

// ---- real-size view ----

Tfrm_RealSize::Tfrm_RealSize(QWidget* parent, const QImage& image, const QString& timeText) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_RealSize"));
    setWindowTitle(QStringLiteral("%1x%2 @ %3").arg(image.width()).arg(image.height()).arg(timeText));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap::fromImage(image));
    picture->setFixedSize(image.size());
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks close the view
    // A frame larger than the screen is scrolled instead of cut off.
    auto* area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(picture);
    area->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    // Enter and Esc close the view: a default button of no size.
    auto* close = new QPushButton(this);
    close->setObjectName(QStringLiteral("btn_Close"));
    close->setFixedSize(0, 0);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    QSize size = image.size();
    if (const QScreen* screen = parent ? parent->screen() : nullptr)
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    setFixedSize(size);
    if (const QScreen* screen = parent ? parent->screen() : nullptr)
        move(screen->availableGeometry().center() - rect().center());
}

void Tfrm_RealSize::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        accept();
    QDialog::mouseReleaseEvent(event);
}

// ---- saving ----

QString AskFrameSaveName(QWidget* parent, const QString& proposed, TImageKind& kind)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kSaveFilter);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (parent)
        dialog.setDirectory(QFileInfo(parent->windowTitle()).absolutePath());
    dialog.selectFile(proposed);
    // The extension added to a bare name follows the type chosen in the filter.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(QString::fromLatin1(ImageExtension(KindOfFilter(filter)) + 1));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    kind = KindOfFilter(dialog.selectedNameFilter());
    return dialog.selectedFiles().constFirst();
}

bool SaveFramePicture(const TRGBPicture& picture, const TImageTarget& target, QString& error)
{
    QByteArray bytes;
    if (target.Kind == TImageKind::Bmp) {
        const std::vector<uint8_t> bmp = EncodeBmp32(picture);
        bytes = QByteArray(reinterpret_cast<const char*>(bmp.data()), static_cast<qsizetype>(bmp.size()));
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, target.Kind == TImageKind::Jpeg ? "jpeg" : "png");
        if (target.Kind == TImageKind::Jpeg) {
            writer.setQuality(90);
            writer.setProgressiveScanWrite(false);  // baseline
            writer.setOptimizedWrite(false);
        }
        if (!writer.write(FrameImage(picture))) {
            error = writer.errorString();
            return false;
        }
    }
    if (bytes.isEmpty()) {
        error = QStringLiteral("No picture to save");
        return false;
    }
    std::string reason;
    if (!WriteFileAtomically(target.Path, bytes.constData(), static_cast<size_t>(bytes.size()), reason)) {
        error = QString::fromLocal8Bit(reason.c_str());
        return false;
    }
    return true;
}

}  // namespace reelsmith
