#pragma once
// The two arrangements of a multiple-document area that Qt does not offer.

class QMdiArea;

// Wide windows one above another, sharing the height of the client area;
// minimised windows keep their places.
void TileOneAboveAnother(QMdiArea& area);
// Minimised windows in a row along the bottom edge, from the left, a new
// row above when one is full.
void ArrangeIcons(QMdiArea& area);
