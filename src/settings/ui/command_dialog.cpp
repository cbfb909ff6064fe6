#include "settings/ui/command_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/ui/push_button.h"
#include "engine/options/command_check.h"
#include "settings/choice_lists.h"

namespace reelsmith {

Tfrm_Command::Tfrm_Command(int formatPosition, const QString& command, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_Command"));
    setWindowTitle(QStringLiteral("FFMPEG Command"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    BuildLayout();
    cb_VideoFormat->setCurrentIndex(formatPosition >= 0 && formatPosition < cb_VideoFormat->count() ? formatPosition
                                                                                                    : -1);
    txt_Command->setText(command);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

bool Tfrm_Command::Execute(QWidget* parent, QString& options, int& formatPosition)
{
    Tfrm_Command dialog(formatPosition, options, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options = dialog.Command();
    formatPosition = dialog.FormatPosition();
    return true;
}

QString Tfrm_Command::Command() const { return txt_Command->text(); }

int Tfrm_Command::FormatPosition() const { return cb_VideoFormat->currentIndex(); }

void Tfrm_Command::btn_OKClick()
{
    const QString command = Command().trimmed();
    std::string problem;
    if (command.isEmpty()) {
        problem = "Type the options for the conversion, as in the example.";
    } else {
        // The run names its outputs after the format, so the muxer is the one this name picks.
        const std::string output = "output." + cb_VideoFormat->currentText().toLower().toStdString();
        problem = CommandProblem(command.toStdString(), output);
    }
    lbl_Problem->setText(QString::fromStdString(problem));
    lbl_Problem->setVisible(!problem.empty());
    if (problem.empty())
        accept();
    else
        txt_Command->setFocus();
}

void Tfrm_Command::BuildLayout()
{
    lbl_Command = new QLabel(QStringLiteral("Enter FFMPEG Command:"), this);
    txt_Command = new QLineEdit(this);
    txt_Command->setObjectName(QStringLiteral("txt_Command"));
    txt_Command->setMinimumWidth(420);
    lbl_Command->setBuddy(txt_Command);
    lbl_Example = new QLabel(QStringLiteral("Example: -b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn "), this);

    auto* formatLabel = new QLabel(QStringLiteral("Format:"), this);
    cb_VideoFormat = new QComboBox(this);
    cb_VideoFormat->setObjectName(QStringLiteral("cb_VideoFormat"));
    for (const std::string& entry : reelsmith::ChoiceEntries(reelsmith::TChoiceList::VideoFormat))
        cb_VideoFormat->addItem(QString::fromStdString(entry));
    formatLabel->setBuddy(cb_VideoFormat);

    const TOkCancelButtons okCancel = MakeOkCancelButtons(this);
    btn_OK = okCancel.OK;
    btn_Cancel = okCancel.Cancel;
    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_Command::btn_OKClick);
    lbl_Problem = new QLabel(this);
    lbl_Problem->setObjectName(QStringLiteral("lbl_Problem"));
    lbl_Problem->setStyleSheet(QStringLiteral("color: #c00000"));
    lbl_Problem->setWordWrap(true);
    lbl_Problem->setVisible(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(formatLabel);
    bottom->addWidget(cb_VideoFormat);
    bottom->addStretch(1);
    bottom->addWidget(btn_OK);
    bottom->addWidget(btn_Cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(4);
    column->addWidget(lbl_Command);
    column->addWidget(txt_Command);
    column->addWidget(lbl_Example);
    column->addWidget(lbl_Problem);
    column->addSpacing(8);
    column->addLayout(bottom);
}

}  // namespace reelsmith
