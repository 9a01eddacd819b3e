// Registers the basic controls (Label, Button, Option, CheckBox, Progress)
// with the factory.
#include "ui/button.h"
#include "ui/control_factory.h"
#include "ui/label.h"
#include "ui/option.h"
#include "ui/progress.h"

namespace DuiLib {

namespace {

template <class T>
CControlUI* Create() {
  return new T;
}

constexpr ControlClass kBasicControls[] = {
    {L"CLabelUI", Create<CLabelUI>},   {L"CButtonUI", Create<CButtonUI>},
    {L"COptionUI", Create<COptionUI>}, {L"CCheckBoxUI", Create<CCheckBoxUI>},
    {L"CProgressUI", Create<CProgressUI>},
};

}  // namespace

void RegisterBasicControls(CControlFactory& factory) {
  for (const ControlClass& entry : kBasicControls) factory.RegisterControl(entry.className, entry.create);
}

}  // namespace DuiLib
