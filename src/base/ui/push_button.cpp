#include "base/ui/push_button.h"

#include <QDialog>
#include <QPushButton>

namespace reelsmith {

QPushButton* MakePushButton(QWidget* parent, const QString& caption, const char* objectName)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

TOkCancelButtons MakeOkCancelButtons(QDialog* dialog)
{
    TOkCancelButtons buttons{MakePushButton(dialog, QStringLiteral("OK"), "btn_OK"),
                             MakePushButton(dialog, QStringLiteral("Cancel"), "btn_Cancel")};
    buttons.OK->setDefault(true);
    QObject::connect(buttons.Cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace reelsmith
