// ImageList: the node pictures of both trees, 16 x 16, looked up by key
// ("folder", "file") in the order they were added. Drawn by code, so no
// image files ship with the program.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <vector>

class ImageList : public QObject {
  Q_OBJECT
 public:
  explicit ImageList(QObject* parent = nullptr);

  QStringList keys() const;
  // The picture under `key`; a null pixmap for an unknown key.
  QPixmap image(const QString& key) const;
  QIcon icon(const QString& key) const { return QIcon(image(key)); }

  static constexpr int kImageSize = 16;

 private:
  std::vector<std::pair<QString, QPixmap>> images_;
};

// The two pictures, drawn in colours of the 16-colour palette on a transparent ground.
QPixmap drawClosedFolder();
QPixmap drawPageWithFoldedCorner();
