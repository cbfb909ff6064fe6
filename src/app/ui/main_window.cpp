#include "app/ui/main_window.h"

Tfrm_Main::Tfrm_Main(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Reelsmith"));
    setMinimumSize(400, 400);
    resize(1024, 700);
}
