#include <windows.h>

#include "dialog/dialog_run.h"
#include "installer/startup.h"
#include "installer/window_run.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  kw::SetInstallDialogRun(&kw::RunInstallDialog);
  return kw::RunInstaller(instance);
}
