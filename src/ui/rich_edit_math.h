// The rich edit's arithmetic and rules: unit conversions, the text rect, the
// Return rule and the context menu's greying. No Windows headers: tested
// natively and on the target alike.
#pragma once
#include <array>
#include <string_view>

#include "ui/value_parse.h"

namespace DuiLib {

// Logical font height (negative for character heights) in twips at `dpi`;
// 0 for a DPI of 0.
long TwipsFromFontHeight(long logicalHeight, int dpi);
// Pixels in HIMETRIC (0.01 mm) at `dpi`.
long HimetricFromPixels(long pixels, int dpi);
// The DPI the display's physical-to-logical width ratio stands for: 1-1.5
// gives 120, 1.5-1.75 144, 1.75-2 168, 2 and more 192; 0 when the ratio says
// nothing (below 1 or exactly 1), leaving the answer to the monitor query.
int DpiFromDisplayRatio(double ratio);

// Item rect minus the inset and the text padding (both already scaled as
// the caller's rules say). The padding's right and bottom are distances from
// the item's right and bottom edges.
IntRect TextRectOf(const IntRect& item, const IntRect& inset, const IntRect& padding);

// Whether a Return key press goes to the text engine; when not, the control
// sends "return" instead.
bool ReturnGoesToEngine(bool wantReturn, bool wantCtrlReturn, bool ctrlDown);

// The context menu: items in order, a command of 0 is a separator.
enum class EditCommand { None, Undo, Redo, Cut, Copy, Paste, Clear, SelectAll };
struct EditMenuItem {
  EditCommand command;
  std::wstring_view text;
  bool enabled;
};
constexpr std::size_t kEditMenuItemCount = 9;
std::array<EditMenuItem, kEditMenuItemCount> EditMenuItems(bool canUndo, bool canRedo, bool readOnly,
                                                           bool hasSelection);

}  // namespace DuiLib
