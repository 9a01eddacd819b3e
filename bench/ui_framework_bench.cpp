// Time from Create to the first completed paint of a 600x460 layered window
// with 44 controls, and the memory its painting surface takes. Prints
// figures, asserts nothing: ui_framework_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/container.h"
#include "ui/paint_manager.h"
#include "ui/window_base.h"

namespace {

std::wstring Skin() {
  std::wstring skin =
      L"<Window size=\"600,460\" layered=\"true\" caption=\"0,0,0,66\"><Font id=\"0\" name=\"Tahoma\" size=\"12\" "
      L"default=\"true\"/><VerticalLayout bkcolor=\"#FFF4F6F8\">"
      L"<HorizontalLayout height=\"66\" bkcolor=\"#FF2A5CAA\"><Control/><Control width=\"24\" height=\"24\" "
      L"vertpaddingcenter=\"true\" bkcolor=\"#FFFFFFFF\"/></HorizontalLayout><TabLayout>";
  for (int page = 0; page < 3; ++page) {
    skin += L"<VerticalLayout inset=\"50,20,50,20\" childpadding=\"6\">";
    for (int row = 0; row < 4; ++row) {
      skin += L"<HorizontalLayout height=\"34\" childpadding=\"8\"><Control bkcolor=\"#FFDDE3EA\"/>"
              L"<Control width=\"38\" bkcolor=\"#FF6A8FCC\" bordercolor=\"#FF333333\" bordersize=\"1\"/>"
              L"</HorizontalLayout>";
    }
    skin += L"</VerticalLayout>";
  }
  skin += L"</TabLayout></VerticalLayout></Window>";
  return skin;
}

class BenchWindow : public DuiLib::WindowImplBase {
 public:
  DuiLib::CPaintManagerUI& Manager() { return paintManager_; }

 protected:
  std::wstring_view GetWindowClassName() const override { return L"KwFrameworkBench"; }
  std::wstring GetSkinFile() override { return Skin(); }
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int CountControls(DuiLib::CPaintManagerUI& manager) {
  return static_cast<int>(manager.FindSubControlsByClass(nullptr, L"*").size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  std::vector<double> times;
  std::size_t surfaceBytes = 0;
  int controls = 0;
  for (int run = 0; run < runs; ++run) {
    BenchWindow window;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!window.Create(nullptr, L"KW Framework Bench", 0x96C80000, WS_EX_WINDOWEDGE)) return 1;
    window.ShowWindow(true, true);
    MSG message{};
    while (window.Manager().CompletedPaints() == 0 && GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!DuiLib::CPaintManagerUI::TranslateMessage(&message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    times.push_back(Milliseconds(start, end));
    surfaceBytes = window.Manager().GetOffscreenSurface().ByteSize();
    controls = CountControls(window.Manager());
    DestroyWindow(window.GetHWND());
  }
  std::sort(times.begin(), times.end());
  std::printf("controls: %d\n", controls);
  std::printf("create to first completed paint (ms): min %.2f median %.2f max %.2f over %d runs\n", times.front(),
              times[times.size() / 2], times.back(), runs);
  std::printf("painting surface: %zu bytes (600 x 460 x 4)\n", surfaceBytes);
  return 0;
}
