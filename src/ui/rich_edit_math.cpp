#include "ui/rich_edit_math.h"

#include <cstdlib>

namespace DuiLib {

long TwipsFromFontHeight(long logicalHeight, int dpi) {
  if (dpi <= 0) return 0;
  // Character heights are negative; a positive (cell) height is taken as it is.
  const long height = logicalHeight < 0 ? -logicalHeight : logicalHeight;
  return height * 1440 / dpi;
}

long HimetricFromPixels(long pixels, int dpi) {
  if (dpi <= 0) return 0;
  return pixels * 2540 / dpi;
}

int DpiFromDisplayRatio(double ratio) {
  if (ratio >= 2.0) return 192;
  if (ratio >= 1.75) return 168;
  if (ratio >= 1.5) return 144;
  if (ratio > 1.0) return 120;
  return 0;
}

IntRect TextRectOf(const IntRect& item, const IntRect& inset, const IntRect& padding) {
  IntRect rect{item.left + inset.left + padding.left, item.top + inset.top + padding.top,
               item.right - inset.right - padding.right, item.bottom - inset.bottom - padding.bottom};
  if (rect.right < rect.left) rect.right = rect.left;
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  return rect;
}

bool ReturnGoesToEngine(bool wantReturn, bool wantCtrlReturn, bool ctrlDown) {
  if (!wantReturn) return false;
  if (ctrlDown && !wantCtrlReturn) return false;
  return true;
}

std::array<EditMenuItem, kEditMenuItemCount> EditMenuItems(bool canUndo, bool canRedo, bool readOnly,
                                                           bool hasSelection) {
  return {{
      {EditCommand::Undo, L"撤销(&U)", canUndo},
      {EditCommand::Redo, L"重做(&R)", canRedo},
      {EditCommand::None, L"", true},
      {EditCommand::Cut, L"剪切(&X)", !readOnly && hasSelection},
      {EditCommand::Copy, L"复制(&C)", hasSelection},
      {EditCommand::Paste, L"粘贴(&V)", !readOnly},
      {EditCommand::Clear, L"清空(&L)", !readOnly && hasSelection},
      {EditCommand::None, L"", true},
      {EditCommand::SelectAll, L"全选(&A)", true},
  }};
}

}  // namespace DuiLib
