// The soft drop shadow of a framework window: a click-through per-pixel-alpha
// window behind it. Stand-in: remembers whether it is wanted, draws nothing.
#pragma once
#include <windows.h>

namespace DuiLib {

class CPaintManagerUI;

class CShadowUI {
 public:
  CShadowUI() = default;
  ~CShadowUI() = default;
  CShadowUI(const CShadowUI&) = delete;
  CShadowUI& operator=(const CShadowUI&) = delete;

  void Create(CPaintManagerUI* manager);
  void Update(HWND parent);
  void ShowShadow(bool show);
  bool IsShowShadow() const { return show_; }

 private:
  bool show_ = false;
};

}  // namespace DuiLib
