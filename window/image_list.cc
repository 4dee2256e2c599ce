#include "window/image_list.h"

#include <QPainter>
#include <QPolygon>

namespace {

// Colours of the classic 16-colour palette.
const QColor kBlack(0, 0, 0);
const QColor kOlive(128, 128, 0);
const QColor kYellow(255, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kGray(128, 128, 128);
const QColor kSilver(192, 192, 192);

QPixmap blank() {
  QPixmap p(ImageList::kImageSize, ImageList::kImageSize);
  p.fill(Qt::transparent);  // silver is the list's transparent colour: nothing shows there
  return p;
}

}  // namespace

QPixmap drawClosedFolder() {
  QPixmap p = blank();
  QPainter g(&p);
  g.setPen(kOlive);
  g.setBrush(kYellow);
  g.drawPolygon(QPolygon({{1, 3}, {6, 3}, {7, 4}, {7, 5}, {1, 5}}));  // tab
  g.drawRect(1, 5, 13, 8);                                            // body
  g.setPen(kBlack);
  g.drawLine(2, 14, 15, 14);  // shadow below and right
  g.drawLine(15, 6, 15, 14);
  return p;
}

QPixmap drawPageWithFoldedCorner() {
  QPixmap p = blank();
  QPainter g(&p);
  g.setPen(kBlack);
  g.setBrush(kWhite);
  g.drawPolygon(QPolygon({{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}}));
  g.setBrush(kSilver);
  g.drawPolygon(QPolygon({{10, 1}, {10, 4}, {13, 4}}));  // the fold
  g.setPen(kGray);
  for (int y = 6; y <= 12; y += 2) g.drawLine(5, y, 11, y);  // lines of text
  return p;
}

ImageList::ImageList(QObject* parent) : QObject(parent) {
  images_.emplace_back("folder", drawClosedFolder());
  images_.emplace_back("file", drawPageWithFoldedCorner());
}

QStringList ImageList::keys() const {
  QStringList out;
  for (const auto& item : images_) out << item.first;
  return out;
}

QPixmap ImageList::image(const QString& key) const {
  for (const auto& [k, pixmap] : images_) {
    if (k == key) return pixmap;
  }
  return {};
}
