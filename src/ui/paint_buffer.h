#pragma once
// Painting into a memory bitmap that reaches the screen in one BitBlt, so that a repaint
// never flickers.

#include <windows.h>

#include <algorithm>

#include "win32_handles.h"

namespace wrenfold::ui {

// Begins the paint of `window` on construction; dc() is the bitmap's device context of the
// client size (at least 1 × 1). The destructor copies it to the screen and ends the paint.
class BufferedPaint {
 public:
  explicit BufferedPaint(HWND window) : window_(window), screen_(BeginPaint(window, &paint_)) {
    RECT client;
    GetClientRect(window, &client);
    width_ = std::max<int>(client.right, 1);
    height_ = std::max<int>(client.bottom, 1);
    memory_ = CreateCompatibleDC(screen_);
    bitmap_.reset(CreateCompatibleBitmap(screen_, width_, height_));
    previous_ = SelectObject(memory_, bitmap_.get());
    SetBkMode(memory_, TRANSPARENT);
  }
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  ~BufferedPaint() {
    BitBlt(screen_, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
    SelectObject(memory_, previous_);
    DeleteDC(memory_);
    EndPaint(window_, &paint_);
  }

  HDC dc() const { return memory_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC screen_;
  int width_ = 1;
  int height_ = 1;
  HDC memory_ = nullptr;
  UniqueBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
};

// Fills `rect` with a solid colour.
inline void fill_rect(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.get());
}

// Fills a rounded rectangle without an outline; like every RoundRect without a pen, the fill
// stops one pixel short of `rect`'s right and bottom edges.
inline void fill_round_rect(HDC dc, const RECT& rect, int corner, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  const SelectedObject selected_brush(dc, brush.get());
  const SelectedObject no_outline(dc, GetStockObject(NULL_PEN));
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

}  // namespace wrenfold::ui
