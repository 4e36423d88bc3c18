#pragma once
// Draws the visible part of one line: every byte in its own cell of a
// fixed-pitch grid, glyphs placed at exact cell positions (so no font's
// advance can drift across a long line), selected cells highlighted, control
// bytes as a coloured box holding their hex value, two tiny digits stacked.
// Printing draws its rows with it too, so paper shows what the screen shows.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRawFont>
#include <array>
#include <cstddef>
#include <cstdint>

class QPainter;

class LinePainter {
public:
  struct Colors {
    QColor text;
    QColor selectionBack;
    QColor selectionText;
  };
  // A run of a line's bytes: `bytes` start at text position `position` and
  // column `column`; the view shows columns from `firstColumn` on, `columns`
  // of them.
  struct Run {
    const char* bytes;
    std::size_t count;
    std::size_t position;
    int64_t column;
    int64_t firstColumn;
    int64_t columns;
  };

  explicit LinePainter(const QFont& font);

  qreal CellWidth() const { return cellWidth_; }
  int LineHeight() const { return lineHeight_; }
  // The left edge of `column` when `firstColumn` is at the left of the view.
  qreal X(int64_t column, int64_t firstColumn) const {
    return static_cast<qreal>(column - firstColumn) * cellWidth_;
  }

  // Paints `run` in the line whose top is `y`; bytes at positions in
  // [selectionStart, selectionEnd) are shown selected.
  void Paint(QPainter& painter, int y, const Run& run, std::size_t selectionStart,
             std::size_t selectionEnd, const Colors& colors) const;
  // One selected cell, for a line break inside the selection.
  void PaintSelectedCell(QPainter& painter, int y, int64_t column, int64_t firstColumn,
                         const Colors& colors) const;

  // Control bytes are shown as boxes; every other byte but tab and LF as a
  // character.
  static bool IsControl(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n') || (byte >= 0x7F && byte < 0xA0);
  }
  static QChar Shown(unsigned char byte);

private:
  QPixmap ControlPicture(unsigned char byte) const;

  QFont font_;
  QRawFont raw_;
  qreal cellWidth_;
  int lineHeight_;
  int ascent_;
  std::array<quint32, 256> glyphs_{};
  std::array<QPixmap, 256> controls_;
};
