// Registers the basic controls (Label, Button, Option, CheckBox, Progress)
// with the factory. Until they exist, the factory's stand-ins build them.
#include "ui/control_factory.h"

namespace DuiLib {

void RegisterBasicControls(CControlFactory&) {}

}  // namespace DuiLib
