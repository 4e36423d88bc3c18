#include "editor/LinePainter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <cmath>
#include <vector>

namespace {

// Control bytes: C0 and DEL on orange, C1 on violet.
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
  // Hex digits 3 pixels wide and 5 high, a row of 3 bits each, top first: no
  // font has glyphs that small, and these stay legible in one cell.
  static const unsigned short kDigits[16] = {075557, 026227, 071747, 071717, 055711, 074717,
                                             074757, 071111, 075757, 075717, 025755, 065656,
                                             034443, 065556, 074747, 074744};
  const bool high = byte >= 0x80;
  QPixmap picture(static_cast<int>(std::ceil(cellWidth_)), lineHeight_);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(high ? kHighText : kLowText);
  painter.setBrush(high ? kHighBack : kLowBack);
  painter.drawRect(QRectF(0.5, 0.5, cellWidth_ - 1, lineHeight_ - 1));
  // The two digits stacked, as large as the cell allows.
  const int scale =
      std::max(1, std::min(static_cast<int>(cellWidth_ - 2) / 3, (lineHeight_ - 3) / 11));
  const int left = (picture.width() - 3 * scale) / 2;
  const int top = (lineHeight_ - 11 * scale) / 2;
  const int digits[2] = {byte >> 4, byte & 0xF};
  for (int d = 0; d < 2; ++d)
    for (int row = 0; row < 5; ++row)
      for (int bit = 0; bit < 3; ++bit)
        if ((kDigits[digits[d]] >> ((4 - row) * 3 + (2 - bit))) & 1)
          painter.fillRect(left + bit * scale, top + (d * 6 + row) * scale, scale, scale,
                           high ? kHighText : kLowText);
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
