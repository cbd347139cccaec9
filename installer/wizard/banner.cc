#include "banner.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Tint colours of the drops, left to right.
constexpr QRgb kDrops[] = {qRgb(0, 157, 214), qRgb(228, 0, 124),
                           qRgb(255, 221, 0), qRgb(30, 30, 30),
                           qRgb(232, 78, 27), qRgb(0, 150, 64)};

}  // namespace

CBanner::CBanner(QWidget* parent) : QWidget(parent) {}

void CBanner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = rect();
  QLinearGradient sky(r.topLeft(), r.bottomLeft());
  sky.setColorAt(0, QColor(250, 246, 236));
  sky.setColorAt(1, QColor(226, 218, 200));
  p.fillRect(r, sky);

  // A wave of paint along the bottom.
  QPainterPath wave;
  const qreal h = r.height(), w = r.width();
  wave.moveTo(0, h * 0.78);
  wave.cubicTo(w * 0.25, h * 0.62, w * 0.45, h * 0.95, w * 0.7, h * 0.74);
  wave.cubicTo(w * 0.82, h * 0.64, w * 0.92, h * 0.70, w, h * 0.66);
  wave.lineTo(w, h);
  wave.lineTo(0, h);
  wave.closeSubpath();
  QLinearGradient band(0, 0, w, 0);
  const int n = static_cast<int>(sizeof kDrops / sizeof kDrops[0]);
  for (int i = 0; i < n; ++i) band.setColorAt(i / qreal(n - 1), kDrops[i]);
  p.fillPath(wave, band);

  // Drops falling towards the wave, on the right.
  const qreal d = h * 0.16;
  for (int i = 0; i < n; ++i) {
    qreal x = w * 0.66 + i * d * 1.5;
    qreal y = h * (0.18 + 0.07 * (i % 3));
    QPainterPath drop;
    drop.moveTo(x, y - d);
    drop.cubicTo(x + d * 0.2, y - d * 0.4, x + d * 0.6, y, x, y + d * 0.5);
    drop.cubicTo(x - d * 0.6, y, x - d * 0.2, y - d * 0.4, x, y - d);
    p.fillPath(drop, QColor(kDrops[i]));
  }

  QFont title = font();
  title.setBold(true);
  title.setPixelSize(static_cast<int>(h * 0.30));
  p.setFont(title);
  p.setPen(QColor(60, 50, 40));
  p.drawText(QRectF(w * 0.04, h * 0.08, w * 0.6, h * 0.4),
             Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KalvoINSTALL"));
  QFont sub = font();
  sub.setPixelSize(static_cast<int>(h * 0.13));
  p.setFont(sub);
  p.drawText(QRectF(w * 0.04, h * 0.42, w * 0.6, h * 0.2),
             Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Formula data set installation"));
}
