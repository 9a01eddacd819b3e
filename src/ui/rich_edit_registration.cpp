// Registers the rich edit with the factory.
#include "ui/control_factory.h"
#include "ui/rich_edit.h"

namespace DuiLib {

namespace {

constexpr ControlClass kRichEditControls[] = {
    {L"CRichEditUI", []() -> CControlUI* { return new CRichEditUI; }},
};

}  // namespace

void RegisterRichEditControls(CControlFactory& factory) {
  for (const ControlClass& entry : kRichEditControls) factory.RegisterControl(entry.className, entry.create);
}

}  // namespace DuiLib
