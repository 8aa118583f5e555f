// Window geometry is laid out in twips (1440 to the inch) and shown at the
// usual screen resolution of 15 twips to a pixel.
#pragma once

#include <QRect>
#include <QWidget>

#include "layout.h"

namespace tavrel::ui {

inline constexpr int kTwipsPerPixel = 15;

constexpr int Pixels(int twips) {
  return twips / kTwipsPerPixel;
}

inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

inline void PlaceTwips(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(TwipsRect(left, top, width, height));
}

inline void PlaceTwips(QWidget* widget, const form::layout::Twips& place) {
  PlaceTwips(widget, place.left, place.top, place.width, place.height);
}

}  // namespace tavrel::ui
