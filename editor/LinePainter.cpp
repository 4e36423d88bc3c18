#include "editor/LinePainter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <cmath>
#include <vector>

namespace {

// Control bytes: C0 and DEL on orange, C1 on violet, so that the two sets,
// which share their pictures, stay apart.
const QColor kLowBack(255, 214, 170);
const QColor kLowText(150, 60, 0);
const QColor kHighBack(225, 205, 255);
const QColor kHighText(90, 30, 150);

struct Glyphs {
  std::vector<quint32> indexes;
  std::vector<QPointF> positions;

  void Draw(QPainter& painter, const QRawFont& raw, qreal baseline, const QColor& color) const {
    if (indexes.empty())
      return;
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(QList<quint32>(indexes.begin(), indexes.end()));
    run.setPositions(QList<QPointF>(positions.begin(), positions.end()));
    painter.setPen(color);
    painter.drawGlyphRun(QPointF(0, baseline), run);
  }
};

} // namespace

QChar LinePainter::Shown(unsigned char byte) {
  if (byte < 0x20)
    return QChar(0x2400 + byte);
  if (byte == 0x7F)
    return QChar(0x2421);
  if (byte < 0xA0 && byte > 0x7F)
    return QChar(0x2400 + (byte - 0x80));
  // The soft hyphen would otherwise vanish where no line is broken.
  if (byte == 0xAD)
    return QChar(u'-');
  return QChar(byte);
}

LinePainter::LinePainter(const QFont& font) : font_(font), raw_(QRawFont::fromFont(font)) {
  const QFontMetricsF metrics(font);
  cellWidth_ = metrics.horizontalAdvance(QChar(u'M'));
  lineHeight_ = static_cast<int>(std::ceil(metrics.height()));
  ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    if (IsControl(b)) {
      controls_[b] = ControlPicture(b);
      continue;
    }
    const QChar shown = Shown(b);
    quint32 index = 0;
    int count = 1;
    if (raw_.isValid() && raw_.glyphIndexesForChars(&shown, 1, &index, &count) && count == 1)
      glyphs_[b] = index;
  }
}

QPixmap LinePainter::ControlPicture(unsigned char byte) const {
  const bool high = byte >= 0x80;
  QPixmap picture(static_cast<int>(std::ceil(cellWidth_)), lineHeight_);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  const QRectF box(0.5, 1.5, cellWidth_ - 1, lineHeight_ - 3);
  painter.setPen(high ? kHighText : kLowText);
  painter.setBrush(high ? kHighBack : kLowBack);
  painter.drawRect(box);
  QFont small(font_);
  small.setPixelSize(std::max(6, lineHeight_ * 2 / 3));
  painter.setFont(small);
  painter.drawText(box, Qt::AlignCenter, QString(Shown(byte)));
  return picture;
}

void LinePainter::Paint(QPainter& painter, int y, const Run& run, std::size_t selectionStart,
                        std::size_t selectionEnd, const Colors& colors) const {
  Glyphs plain;
  Glyphs selected;
  QString missing; // characters the raw font lacks, drawn one by one
  std::vector<QPointF> missingAt;
  std::vector<std::pair<qreal, unsigned char>> controls;
  const int64_t lastColumn = run.firstColumn + run.columns;
  int64_t column = run.column;
  for (std::size_t i = 0; i < run.count && column <= lastColumn; ++i) {
    const auto byte = static_cast<unsigned char>(run.bytes[i]);
    const int64_t next = byte == '\t' ? (column / 8 + 1) * 8 : column + 1;
    const qreal x = X(column, run.firstColumn);
    const std::size_t position = run.position + i;
    const bool inSelection = position >= selectionStart && position < selectionEnd;
    if (inSelection)
      painter.fillRect(QRectF(x, y, X(next, run.firstColumn) - x, lineHeight_),
                       colors.selectionBack);
    if (IsControl(byte)) {
      controls.emplace_back(x, byte);
    } else if (byte != '\t' && byte != ' ') {
      if (glyphs_[byte] == 0) {
        missing.append(Shown(byte));
        missingAt.emplace_back(x, y + ascent_);
      } else {
        Glyphs& into = inSelection ? selected : plain;
        into.indexes.push_back(glyphs_[byte]);
        into.positions.emplace_back(x, 0);
      }
    }
    column = next;
  }
  plain.Draw(painter, raw_, y + ascent_, colors.text);
  selected.Draw(painter, raw_, y + ascent_, colors.selectionText);
  painter.setPen(colors.text);
  painter.setFont(font_);
  for (qsizetype i = 0; i < missing.size(); ++i)
    painter.drawText(missingAt[static_cast<std::size_t>(i)], QString(missing[i]));
  for (const auto& [x, byte] : controls)
    painter.drawPixmap(QPointF(x, y), controls_[byte]);
}

void LinePainter::PaintSelectedCell(QPainter& painter, int y, int64_t column, int64_t firstColumn,
                                    const Colors& colors) const {
  painter.fillRect(QRectF(X(column, firstColumn), y, cellWidth_, lineHeight_),
                   colors.selectionBack);
}
