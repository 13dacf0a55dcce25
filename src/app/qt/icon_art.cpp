#include "app/qt/icon_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lantorvix {
namespace {

// Bar widths of the barcode motif, in module units; a bar follows every gap.
constexpr int kBars[] = {2, 1, 1, 3, 1, 2, 1, 1, 2};

void DrawBarcode(QPainter& p, const QRectF& area, const QColor& colour)
{
    int modules = 0;
    for (int w : kBars) {
        modules += w + 1;
    }
    modules -= 1;
    const double unit = area.width() / modules;
    double x = area.left();
    for (int w : kBars) {
        p.fillRect(QRectF(x, area.top(), w * unit, area.height()), colour);
        x += (w + 1) * unit;
    }
}

} // namespace

QPixmap IconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x2f, 0x80, 0xed));
    tile.setColorAt(1, QColor(0x1b, 0x4f, 0xa8));
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    p.fillPath(rounded, tile);
    // White label with the bars, and a red scan line across it.
    const QRectF label(s * 0.14, s * 0.2, s * 0.72, s * 0.6);
    p.fillRect(label, Qt::white);
    DrawBarcode(p, label.adjusted(s * 0.06, s * 0.08, -s * 0.06, -s * 0.08), QColor(0x10, 0x10, 0x10));
    p.setPen(QPen(QColor(0xe5, 0x2b, 0x2b), std::max(1.0, s / 16)));
    p.drawLine(QPointF(s * 0.08, s * 0.5), QPointF(s * 0.92, s * 0.5));
    return pixmap;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        icon.addPixmap(IconPixmap(size));
    }
    return icon;
}

QPixmap LogoPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1b, 0x4f, 0xa8));
    p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
    // A bold "L" whose foot is a row of bars.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.3, s * 0.22, s * 0.12, s * 0.42));
    DrawBarcode(p, QRectF(s * 0.3, s * 0.66, s * 0.42, s * 0.12), Qt::white);
    return pixmap;
}

} // namespace lantorvix
