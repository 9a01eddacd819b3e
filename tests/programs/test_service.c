/* A Windows service for the service tests; its mode is the first argument
   of its binary path. "normal" starts within a moment and runs until it is
   stopped; "stuck" stays start-pending (accepting no control) for two
   minutes; "nostop" runs like "normal" but accepts no stop. */
#include <windows.h>
#include <shellapi.h>

static SERVICE_STATUS_HANDLE g_status;
static HANDLE g_stop;
static int g_stuck;
static int g_noStop;

static void Report(DWORD state, DWORD accepted, DWORD checkPoint, DWORD waitHint) {
  SERVICE_STATUS status = {0};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = accepted;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = waitHint;
  SetServiceStatus(g_status, &status);
}

static DWORD WINAPI Handler(DWORD control, DWORD type, LPVOID data, LPVOID context) {
  (void)type; (void)data; (void)context;
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING, 0, 1, 2000);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

static void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
  g_status = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", Handler, NULL);
  if (!g_status) return;
  if (g_stuck) {
    Report(SERVICE_START_PENDING, 0, 1, 100);
    WaitForSingleObject(g_stop, 120000);
  } else {
    Report(SERVICE_START_PENDING, 0, 1, 1000);
    Sleep(200);
    Report(SERVICE_RUNNING, g_noStop ? 0 : SERVICE_ACCEPT_STOP, 0, 0);
    WaitForSingleObject(g_stop, INFINITE);
  }
  Report(SERVICE_STOPPED, 0, 0, 0);
}

int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  (void)a; (void)b; (void)c; (void)d;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  g_stuck = argv && argc > 1 && lstrcmpiW(argv[1], L"stuck") == 0;
  g_noStop = argv && argc > 1 && lstrcmpiW(argv[1], L"nostop") == 0;
  g_stop = CreateEventW(NULL, TRUE, FALSE, NULL);
  SERVICE_TABLE_ENTRYW table[] = {{(LPWSTR)L"", ServiceMain}, {NULL, NULL}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
