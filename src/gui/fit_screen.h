// Windows whose content can be taller or wider than a small screen: the
// content sits in a scroll area that is as large as the content where the
// screen allows and scrolls where it does not.
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace kr::gui {

// Puts `content` into a new scroll area (returned, to be added to the
// window's layout). `room` is what the window needs besides the area (its
// buttons, margins, the window frame).
inline QScrollArea* ScrollToFit(QWidget* window, QWidget* content, QSize room) {
  auto* area = new QScrollArea(window);
  area->setObjectName(QStringLiteral("scroll"));
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidget(content);
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  const QSize avail = screen ? screen->availableGeometry().size() : QSize(1024, 768);
  const QSize want = content->sizeHint();
  const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int maxW = std::max(200, avail.width() - room.width());
  const int maxH = std::max(150, avail.height() - room.height());
  const bool tall = want.height() > maxH, wide = want.width() > maxW;
  area->setMinimumSize(std::min(want.width() + (tall ? bar : 0), maxW), std::min(want.height() + (wide ? bar : 0), maxH));
  return area;
}

}  // namespace kr::gui
