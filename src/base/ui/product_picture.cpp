#include "base/ui/product_picture.h"

#include <QString>

// The resource lives in a static library: it is registered by hand before its first use.
static void RegisterProductResources() { Q_INIT_RESOURCE(reelsmith); }

namespace reelsmith {

void EnsureProgramResources() { RegisterProductResources(); }

QIcon ProductIcon()
{
    RegisterProductResources();
    return QIcon(QStringLiteral(":/reelsmith/reelsmith.svg"));
}

QPixmap ProductPicture(int side, qreal devicePixelRatio)
{
    const int pixels = qRound(side * devicePixelRatio);
    QPixmap picture = ProductIcon().pixmap(QSize(pixels, pixels));
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

}  // namespace reelsmith
