// FaceIcon: a coloured tile with one symbol for each FaceId the menus use.
#include "app/desktop/face_icons.h"

#include <QPainter>
#include <QPixmap>
#include <map>

namespace tessarin::desktop {
namespace {

struct Face {
  QColor tile;
  QString symbol;
};

const std::map<int, Face>& Faces() {
  static const std::map<int, Face> kFaces = {
      // The add-in's commands.
      {176, {QColor(0x2E, 0x7D, 0x32), QStringLiteral("試")}},   // make a test
      {329, {QColor(0x15, 0x65, 0xC0), QStringLiteral("答")}},   // show answers
      {47, {QColor(0x75, 0x75, 0x75), QStringLiteral("消")}},    // erase answers
      {276, {QColor(0xC6, 0x28, 0x28), QStringLiteral("✗")}},    // wrong answer
      {675, {QColor(0xEF, 0x6C, 0x00), QStringLiteral("必")}},   // must appear
      {1759, {QColor(0x00, 0x83, 0x8F), QStringLiteral("→")}},   // jump
      {3511, {QColor(0x6A, 0x1B, 0x9A), QStringLiteral("ふ")}},  // phonetic guide
      {2645, {QColor(0x45, 0x5A, 0x64), QStringLiteral("重")}},  // duplicates
      {1786, {QColor(0xAD, 0x14, 0x57), QStringLiteral("数")}},  // mistake report
      {459, {QColor(0x5D, 0x40, 0x37), QStringLiteral("Σ")}},    // must-appear total
      {11, {QColor(0x28, 0x35, 0x93), QStringLiteral("学")}},    // grade search
      {109, {QColor(0x37, 0x47, 0x4F), QStringLiteral("紙")}},   // paper
      // The host's own items.
      {21, {QColor(0x61, 0x61, 0x61), QStringLiteral("✂")}},
      {19, {QColor(0x61, 0x61, 0x61), QStringLiteral("⎘")}},
      {22, {QColor(0x61, 0x61, 0x61), QStringLiteral("📋")}},
      {2031, {QColor(0xF9, 0xA8, 0x25), QStringLiteral("✎")}},
      {1559, {QColor(0x6A, 0x1B, 0x9A), QStringLiteral("ア")}},
  };
  return kFaces;
}

}  // namespace

QIcon FaceIcon(int face_id) {
  auto it = Faces().find(face_id);
  if (it == Faces().end()) return {};
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(it->second.tile);
  painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  QFont font(QStringLiteral("BIZ UDPGothic"));
  font.setPixelSize(20);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, it->second.symbol);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace tessarin::desktop
