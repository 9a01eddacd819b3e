// The installer's window: licence, folder and options, then the progress of
// the install worker, then the completion view that starts the product.
//
// Script access from the window thread never waits for the worker: reads
// take the state lock only if it is free (values needed while the worker
// runs are read before it starts) and writes go through DeferredGlobals.
// A close by keyboard or system menu while the worker runs is refused: the
// script state must outlive every event the worker runs.
#pragma once
#include <windows.h>

#include <string>

#include "ui/window_base.h"

namespace DuiLib {
class CButtonUI;
class CContainerUI;
class CHorizontalLayoutUI;
class CLabelUI;
class COptionUI;
class CProgressUI;
class CRichEditUI;
class CTabLayoutUI;
class CVerticalLayoutUI;
}  // namespace DuiLib

namespace kw {

class CDlgInstall : public DuiLib::WindowImplBase {
 public:
  static constexpr UINT kInstallDoneMessage = 11032;
  static constexpr UINT kProgressTimer = 1990;
  static constexpr UINT kBackgroundTimer = 1989;

  explicit CDlgInstall(HWND listenWindow = nullptr) : listenWindow_(listenWindow) {}

  const DuiLib::NotifyMap* GetMessageMap() const override;
  static const DuiLib::NotifyMap* ClassMessageMap();

  bool IsInstalling() const { return installing_; }

 protected:
  std::wstring_view GetWindowClassName() const override { return L"CDlgInstall"; }
  void InitWindow() override;
  void OnTimer(DuiLib::TNotifyUI& notification) override;
  std::wstring GetSkinFile() override { return L"Layout/Layout.xml"; }
  LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

 private:
  void InitInitView();
  void ApplyMonitorDpi();
  void OnBtnClose(DuiLib::TNotifyUI& notification);
  void OnBtnLicenceLink(DuiLib::TNotifyUI& notification);
  void OnBtnInstall(DuiLib::TNotifyUI& notification);
  void OnBtnSelectPath(DuiLib::TNotifyUI& notification);
  void OnCheckLicenceChanged(DuiLib::TNotifyUI& notification);
  void OnFirstFrame(DuiLib::TNotifyUI& notification);
  void OnBtnStart(DuiLib::TNotifyUI& notification);
  void LaunchApp();
  void StartInstall();
  void FinishInstall(int result);
  void UpdateProgressText();
  void ShowNumber(int value);
  int AskOwned(const std::wstring& text, const wchar_t* caption, UINT flags);

  static unsigned __stdcall InstallWorker(void* window);

  HWND listenWindow_ = nullptr;
  int installResult_ = 0;
  bool installing_ = false;  // the worker runs script events

  DuiLib::CTabLayoutUI* tabMain_ = nullptr;
  DuiLib::CVerticalLayoutUI* initView_ = nullptr;
  DuiLib::CVerticalLayoutUI* installView_ = nullptr;
  DuiLib::CVerticalLayoutUI* completeView_ = nullptr;
  DuiLib::CHorizontalLayoutUI* captionButtons_ = nullptr;
  DuiLib::CButtonUI* installButton_ = nullptr;
  DuiLib::CRichEditUI* pathField_ = nullptr;
  DuiLib::COptionUI* desktopLaunch_ = nullptr;
  DuiLib::COptionUI* autoStartup_ = nullptr;
  DuiLib::COptionUI* licence_ = nullptr;
  DuiLib::CProgressUI* progress_ = nullptr;
  DuiLib::CLabelUI* progressText_ = nullptr;
  DuiLib::CHorizontalLayoutUI* numberBoxes_ = nullptr;
  DuiLib::CButtonUI* startButton_ = nullptr;
};

// IsUsablePath: a drive-letter path whose folder exists or could be made
// (SHCreateDirectoryExW creates it and its missing parents).
bool IsUsablePath(const std::wstring& path);
// CheckDir with its trace.
bool CheckDir(const std::wstring& path, const std::wstring& baseName);

}  // namespace kw
