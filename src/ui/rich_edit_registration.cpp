// Registers the rich edit with the factory. Until it exists, the factory's
// stand-in builds it as a plain container.
#include "ui/control_factory.h"

namespace DuiLib {

void RegisterRichEditControls(CControlFactory&) {}

}  // namespace DuiLib
