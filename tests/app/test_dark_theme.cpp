// Both themes keep every control readable and clearly enabled or disabled: the dark theme's
// menu toggles, radio buttons and disabled fields, and the toolbar's Burn picture.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QtTest>

#include "app/ui/dark_theme.h"
#include "app/ui/main_window.h"
#include "base/ui/toolbar_icons.h"
#include "support/screenshot.h"

using namespace reelsmith;

namespace {

// Pixels of `area` that differ clearly from the colour at its first pixel.
int MarkedPixels(const QImage& image, const QRect& area)
{
    const QColor ground = image.pixelColor(area.topLeft());
    int marked = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - ground.red()) + qAbs(c.green() - ground.green()) + qAbs(c.blue() - ground.blue()) > 90)
                ++marked;
        }
    return marked;
}

}  // namespace

class TestDarkTheme : public QObject {
    Q_OBJECT
private slots:
    void controlsAreReadableInBothThemes()
    {
        Tfrm_Main main({}, {});
        for (const bool dark : {false, true}) {
            QVERIFY(Darktheme1Click(main, dark, QStringLiteral(REELSMITH_DARK_QSS)));
            const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");

            // An unchecked toggle shows a box beside its text; a command shows nothing there.
            QMenu menu;
            QAction* toggle = menu.addAction(QStringLiteral("Dark theme"));
            toggle->setCheckable(true);
            menu.addAction(QStringLiteral("A command"));
            menu.show();
            const QImage shot = menu.grab().toImage();
            const QRect toggleRow = menu.actionGeometry(toggle);
            const QRect commandRow = menu.actionGeometry(menu.actions().at(1));
            const auto margin = [](const QRect& row) {
                return QRect(row.left() + 1, row.top() + 1, 18, row.height() - 2);
            };
            QVERIFY2(MarkedPixels(shot, margin(toggleRow)) > MarkedPixels(shot, margin(commandRow)) + 20,
                     qPrintable(theme));
            SaveScreenshot(menu, QStringLiteral("menu_%1.png").arg(theme));
            menu.hide();

            // An unchecked radio button's circle and a disabled field's text stand out.
            QWidget panel;
            auto* radio = new QRadioButton(QStringLiteral("Same folder as source"), &panel);
            auto* field = new QLineEdit(QStringLiteral("/home/user/Videos"), &panel);
            field->setEnabled(false);
            radio->setGeometry(4, 4, 200, 24);
            field->setGeometry(4, 34, 200, 24);
            panel.resize(210, 62);
            panel.show();
            const QImage widgets = panel.grab().toImage();
            QVERIFY2(MarkedPixels(widgets, QRect(4, 4, 18, 24)) > 10, qPrintable(theme));
            QVERIFY2(MarkedPixels(widgets, QRect(8, 38, 100, 16)) > 30, qPrintable(theme));
            SaveScreenshot(panel, QStringLiteral("controls_%1.png").arg(theme));

            // The Burn picture is plainly not its own disabled picture.
            const QIcon burn = ToolbarIcon(ToolbarImage::Burn, &main);
            const QImage normal = burn.pixmap(24, 24, QIcon::Normal).toImage();
            const QImage disabled = burn.pixmap(24, 24, QIcon::Disabled).toImage();
            int red = 0;
            for (int y = 0; y < normal.height(); ++y)
                for (int x = 0; x < normal.width(); ++x) {
                    const QColor c = normal.pixelColor(x, y);
                    const QColor d = disabled.pixelColor(x, y);
                    if (c.alpha() > 200 && c.red() > 150 && c.green() < 80 && d.red() - d.green() < 60)
                        ++red;
                }
            QVERIFY2(red > 10, qPrintable(theme));
        }
        Darktheme1Click(main, false, {});
    }
};

QTEST_MAIN(TestDarkTheme)
#include "test_dark_theme.moc"
