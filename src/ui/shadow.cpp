#include "ui/shadow.h"

namespace DuiLib {

void CShadowUI::Create(CPaintManagerUI*) {}

void CShadowUI::Update(HWND) {}

void CShadowUI::ShowShadow(bool show) { show_ = show; }

}  // namespace DuiLib
