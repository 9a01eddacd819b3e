#include "dialog/dlg_install.h"

#include <process.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "core/encoding.h"
#include "core/handles.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "dialog/dialog_script.h"
#include "dialog/install_rules.h"
#include "installer/install_mgr.h"
#include "core/launch.h"
#include "script/engine.h"
#include "script/file_ops.h"
#include "script/native_args.h"
#include "script/system_actions.h"
#include "stats/stat_module.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/dpi_scale.h"
#include "ui/label.h"
#include "ui/option.h"
#include "ui/progress.h"
#include "ui/system_libraries.h"
#include "ui/ui_actions.h"
#include "ui/rich_edit.h"

namespace kw {

namespace {

using namespace DuiLib;


constexpr UINT kListenFinishedMessage = 3014;
constexpr int kAnimatedAppId = 163;
constexpr UINT kProgressPeriod = 300;
constexpr WPARAM kCloseAfterFinish = 1;
constexpr WPARAM kCloseConfirmed = 2;

// A control of the expected class (derived classes count), else null.
template <class T>
T* Typed(CControlUI* control) {
  return dynamic_cast<T*>(control);
}

std::wstring ProgramFilesFolder() {
  wchar_t folder[MAX_PATH] = {};
  return ShellSpecialFolder(CSIDL_PROGRAM_FILES, folder) ? std::wstring(folder) : std::wstring();
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

// Where the folder dialog opens: the field's folder, else its parent, else
// the program-files folder.
std::wstring StartFolder(const std::wstring& fieldText) {
  if (!fieldText.empty() && FolderExists(fieldText)) return fieldText;
  std::wstring parent = fieldText.substr(0, MAX_PATH);
  const std::size_t separator = parent.find_last_of(L"\\/");
  parent.resize(separator == std::wstring::npos ? 0 : separator);
  if (!parent.empty() && FolderExists(parent)) return parent;
  return ProgramFilesFolder();
}

// The folder a person picks, or nothing when the dialog cannot be had or is
// cancelled.
std::wstring PickFolder(HWND owner, const std::wstring& startFolder) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.ReceiveVoid())))
    return {};
  using CreateItemFn = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
  ComPtr<IShellItem> start;
  if (auto createItem = Shell32().Proc<CreateItemFn>("SHCreateItemFromParsingName");
      createItem && SUCCEEDED(createItem(startFolder.c_str(), nullptr, IID_IShellItem, start.ReceiveVoid()))) {
    dialog->SetDefaultFolder(start.Get());
    dialog->SetFolder(start.Get());
  }
  dialog->SetOptions(FOS_PICKFOLDERS);
  if (FAILED(dialog->Show(owner))) return {};
  ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.Receive())) || !result) return {};
  PWSTR path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
  const UniqueCoTaskMem owned(path);
  return path;
}

// The folders of `path` that do not exist yet, outermost first.
std::vector<std::wstring> MissingFolders(const std::wstring& path) {
  std::vector<std::wstring> missing;
  for (std::wstring& folder : dialog::FolderChain(path))
    if (!FolderExists(folder)) missing.push_back(std::move(folder));
  return missing;
}

// Takes back the folders the folder test made, innermost first; a folder
// that is no longer empty stays.
void RemoveMadeFolders(const std::vector<std::wstring>& made) {
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) RemoveDirectoryW(folder->c_str());
}

std::uint64_t FreeBytesOfVolume(const std::wstring& path) {
  const std::wstring volume = path.substr(0, 2);
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExW(volume.c_str(), &available, &total, &totalFree)) return 0;
  return totalFree.QuadPart;
}

std::uint64_t PayloadSize() {
  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC payload = FindResourceW(self, L"APP.7Z", L"_7Z");
  return payload ? SizeofResource(self, payload) : 0;
}

}  // namespace

bool CheckDir(const std::wstring& path, const std::wstring& baseName) {
  DebugTrace(L"CheckDir %s, %s", path.c_str(), baseName.c_str());
  return dialog::EndsWithBaseName(path, baseName);
}

bool IsUsablePath(const std::wstring& path) {
  using DriveNumberFn = int(WINAPI*)(LPCWSTR);
  using CreateFolderFn = int(WINAPI*)(HWND, LPCWSTR, const SECURITY_ATTRIBUTES*);
  const auto driveNumber = Shlwapi().Proc<DriveNumberFn>("PathGetDriveNumberW");
  const auto createFolder = Shell32().Proc<CreateFolderFn>("SHCreateDirectoryExW");
  if (!driveNumber || !createFolder || driveNumber(path.c_str()) == -1) return false;
  const int result = createFolder(nullptr, path.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS;
}

const NotifyMap* CDlgInstall::ClassMessageMap() {
  static const NotifyMapEntry entries[] = {
      {L"click", L"BtnClose", NotifyHandlerOf(&CDlgInstall::OnBtnClose)},
      {L"click", L"BtnLicenceLink", NotifyHandlerOf(&CDlgInstall::OnBtnLicenceLink)},
      {L"click", L"BtnInstall", NotifyHandlerOf(&CDlgInstall::OnBtnInstall)},
      {L"click", L"BtnSelectPath", NotifyHandlerOf(&CDlgInstall::OnBtnSelectPath)},
      {L"click", L"BtnStart", NotifyHandlerOf(&CDlgInstall::OnBtnStart)},
      {L"selectchanged", L"CheckLicence", NotifyHandlerOf(&CDlgInstall::OnCheckLicenceChanged)},
      {L"timer", nullptr, NotifyHandlerOf(&CDlgInstall::OnTimer)},
      {L"firstframe", nullptr, NotifyHandlerOf(&CDlgInstall::OnFirstFrame)},
      {},
  };
  static const NotifyMap map{WindowImplBase::ClassMessageMap(), entries};
  return &map;
}

const NotifyMap* CDlgInstall::GetMessageMap() const { return ClassMessageMap(); }

void CDlgInstall::InitWindow() {
  // The icon follows the first frame (OnFirstFrame): handing it to the
  // window manager costs more than drawing the whole window.
  const std::wstring title = DialogScript::ReadString("global_product_name") + L"安装";
  SetWindowTextW(GetHWND(), title.c_str());

  CPaintManagerUI& manager = paintManager_;
  tabMain_ = Typed<CTabLayoutUI>(manager.FindControl(L"TabMain"));
  initView_ = Typed<CVerticalLayoutUI>(manager.FindControl(L"VertInitView"));
  installView_ = Typed<CVerticalLayoutUI>(manager.FindControl(L"VertInstallView"));
  completeView_ = Typed<CVerticalLayoutUI>(manager.FindControl(L"VertCompleteView"));
  captionButtons_ = Typed<CHorizontalLayoutUI>(manager.FindControl(L"HorizCaptionBtn"));
  if (initView_) {
    installButton_ = Typed<CButtonUI>(manager.FindSubControlByName(initView_, L"BtnInstall"));
    pathField_ = Typed<CRichEditUI>(manager.FindSubControlByName(initView_, L"EditInstallPath"));
    desktopLaunch_ = Typed<COptionUI>(manager.FindSubControlByName(initView_, L"CheckDesktopLaunch"));
    autoStartup_ = Typed<COptionUI>(manager.FindSubControlByName(initView_, L"CheckAutoStartup"));
    licence_ = Typed<COptionUI>(manager.FindSubControlByName(initView_, L"CheckLicence"));
  }
  if (installView_) {
    progress_ = Typed<CProgressUI>(manager.FindSubControlByName(installView_, L"ProgressInstall"));
    progressText_ = Typed<CLabelUI>(manager.FindSubControlByName(installView_, L"LabelInstallValue"));
  }
  if (completeView_) {
    numberBoxes_ = Typed<CHorizontalLayoutUI>(manager.FindSubControlByName(completeView_, L"HorizNumber"));
    startButton_ = Typed<CButtonUI>(manager.FindSubControlByName(completeView_, L"BtnStart"));
  }

  if (DialogScript::ReadInteger("global_app_id") != kAnimatedAppId && initView_) {
    if (auto* searchServer = Typed<COptionUI>(manager.FindSubControlByName(initView_, L"InstallSearchServer")))
      searchServer->SetVisible(false);
  }

  ApplyMonitorDpi();
  InitInitView();
  CenterWindow();
}

void CDlgInstall::OnFirstFrame(TNotifyUI&) { SetIcon(128); }

void CDlgInstall::ApplyMonitorDpi() {
  HMONITOR monitor = MonitorFromWindow(GetHWND(), MONITOR_DEFAULTTOPRIMARY);
  int dpi = QueryMonitorDpi(monitor);
  if (dpi <= 0) {
    if (dpi < 0) CurrentUiActions().messageBox(nullptr, L"GetDpiForMonitor failed", L"Notification", MB_OK);
    const WindowDc screen(nullptr);
    dpi = GetDeviceCaps(screen.Get(), LOGPIXELSX);
  }
  CPaintManagerUI::SetAllDPI(SnapMonitorDpi(dpi));
}

void CDlgInstall::InitInitView() {
  if (!initView_) return;
  const bool startupVisible = DialogScript::ReadBool("global_startup_check_visable");
  const bool startupChecked = DialogScript::ReadBool("global_startup_check");
  if (autoStartup_) {
    autoStartup_->SetVisible(startupVisible);
    autoStartup_->Selected(startupChecked, true);
  }
  if (!pathField_) return;
  const std::wstring text = pathField_->GetText();
  DebugTrace(L"%s", text.c_str());
  const auto placeholder = dialog::FindPlaceholder(text);
  if (!placeholder) return;
  DebugTrace(L"%s", placeholder->name.c_str());
  const std::wstring value = DialogScript::ReadString(WideToUtf8(placeholder->name).c_str());
  if (value.empty()) return;
  const std::wstring resolved = dialog::ReplaceAll(text, placeholder->token, value);
  pathField_->SetText(resolved);
  DebugTrace(L"-----------------------------");
  DebugTrace(L"%s", resolved.c_str());
  DebugTrace(L"-----------------------------");
}

void CDlgInstall::OnCheckLicenceChanged(TNotifyUI&) {
  if (licence_ && installButton_) installButton_->SetEnabled(licence_->IsSelected());
}

void CDlgInstall::OnBtnLicenceLink(TNotifyUI&) {
  const std::wstring url = DialogScript::ReadString("global_licence_url");
  ShellExecuteCall(nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CDlgInstall::OnBtnSelectPath(TNotifyUI&) {
  if (!pathField_) return;
  const std::wstring start = StartFolder(pathField_->GetText());
  DebugTrace(L"%s", start.c_str());
  const std::wstring picked = PickFolder(GetHWND(), start);
  const std::wstring baseName = DialogScript::ReadString("global_install_basepath");
  CheckDir(picked, baseName);
  if (auto folder = dialog::FolderForPick(picked, baseName)) pathField_->SetText(*folder);
}

int CDlgInstall::AskOwned(const std::wstring& text, const wchar_t* caption, UINT flags) {
  return CurrentSystemActions().ownedMessageBox(GetHWND(), text, caption, flags);
}

void CDlgInstall::OnBtnInstall(TNotifyUI&) {
  if (!pathField_) return;
  const std::wstring fieldText = pathField_->GetText();
  // The folder test creates the folder. The script must still see whether the
  // installation makes it (the uninstaller removes only a folder an
  // installation made), and a stop below must not leave empty folders behind.
  const std::vector<std::wstring> made = MissingFolders(fieldText);
  if (!IsUsablePath(fieldText)) {
    RemoveMadeFolders(made);
    AskOwned(L"安装路径非法，请重新修改！", L"错误", MB_OK | MB_ICONWARNING);
    return;
  }
  RemoveMadeFolders(made);
  const std::wstring path = dialog::InstallPathForScript(fieldText);
  DialogScript::Write(WideToUtf8(pathField_->GetUserData()), path);

  CControlUI* optionsRoot = initView_;
  for (CControlUI* option : paintManager_.FindSubControlsByClass(optionsRoot, L"OptionUI")) {
    if (auto* typed = Typed<COptionUI>(option)) DialogScript::Write(WideToUtf8(typed->GetUserData()), typed->IsSelected());
  }

  const std::wstring backupPath = DialogScript::ReadString("BackUpPath");
  if (!backupPath.empty()) {
    DebugTrace(L"backpath = %s", backupPath.c_str());
    if (!IsUsablePath(backupPath)) {
      AskOwned(L"备份路径非法，请重新修改！", L"错误", MB_OK | MB_ICONWARNING);
      return;
    }
  }

  const std::uint64_t freeBytes = FreeBytesOfVolume(path);
  const std::wstring requiredText = DialogScript::ReadString("global_need_disk_space");
  const auto required = dialog::ParseRequiredBytes(requiredText);
  // A value that does not parse asks for nothing, as a missing one does.
  if (!required) DebugTrace(L"global_need_disk_space not a number: %s", requiredText.c_str());
  if (freeBytes < required.value_or(0)) {
    AskOwned(dialog::NotEnoughSpaceText(*required), L"提示", MB_OK | MB_ICONINFORMATION);
    return;
  }

  CInstallMgr::Instance().BeforeInstall();
  StartInstall();
  const std::shared_ptr<KWStatModule> stats = KWStatModule::GetInstance();
  stats->ReportAction(desktopLaunch_ && desktopLaunch_->IsSelected() ? 25103 : 25104);
  stats->ReportAction(autoStartup_ && autoStartup_->IsSelected() ? 25105 : 25106);
}

void CDlgInstall::StartInstall() {
  if (!tabMain_ || !installView_ || !progress_ || !captionButtons_) return;
  tabMain_->SelectItem(installView_, true);
  captionButtons_->SetVisible(false);
  DialogScript::Write("global_install_progress_elapse", static_cast<double>(dialog::ProgressElapse(PayloadSize())));
  // Read before the worker holds the state for the whole installation.
  const bool animated = DialogScript::ReadInteger("global_app_id") == kAnimatedAppId;

  installing_ = true;
  const UniqueHandle worker(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &InstallWorker, GetHWND(), 0, nullptr)));
  if (!worker) {
    // Without a worker nothing installs; finish as the worker would have.
    DebugTrace(L"install worker not started: %d", static_cast<int>(GetLastError()));
    PostMessage(kInstallDoneMessage, 0, 0);
  }

  progress_->SetValue(0);
  paintManager_.SetTimer(progress_, kProgressTimer, kProgressPeriod);
  if (animated) paintManager_.SetTimer(installView_, kBackgroundTimer, static_cast<UINT>(installView_->GetTag()));
  installView_->SetTag(0);
}

unsigned __stdcall CDlgInstall::InstallWorker(void* window) {
  CInstallMgr& manager = CInstallMgr::Instance();
  manager.OnInstall();
  manager.BeforeComplete();
  ::PostMessageW(static_cast<HWND>(window), kInstallDoneMessage, 0, 0);
  return 0;
}

void CDlgInstall::OnTimer(TNotifyUI& notification) {
  CControlUI* sender = notification.sender;
  if (sender && sender == installView_ && notification.wParam == kBackgroundTimer) {
    const int index = dialog::NextBackgroundIndex(installView_->GetTag());
    installView_->SetTag(static_cast<UINT_PTR>(index));
    installView_->SetBkImage(dialog::BackgroundImage(index));
  } else if (sender && sender == progress_ && notification.wParam == kProgressTimer) {
    progress_->SetValue(dialog::NextProgressValue(progress_->GetValue(), progress_->GetMaxValue()));
    UpdateProgressText();
    DialogScript::Write("global_install_progress_pos", static_cast<double>(progress_->GetValue()));
    if (progress_->GetValue() >= progress_->GetMaxValue()) FinishInstall(installResult_);
  }
}

void CDlgInstall::UpdateProgressText() {
  if (progressText_ && progress_) progressText_->SetText(dialog::ProgressText(progress_->GetValue()));
}

LRESULT CDlgInstall::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  if (message == kInstallDoneMessage) {
    installing_ = false;
    if (progress_) {
      installResult_ = static_cast<int>(wParam);
      progress_->SetValue(progress_->GetMaxValue());
    }
    // Pending writes land now that the state is free.
    DialogScript::Flush();
  }
  return WindowImplBase::HandleCustomMessage(message, wParam, lParam, handled);
}

void CDlgInstall::FinishInstall(int result) {
  if (!tabMain_ || !startButton_ || !captionButtons_ || !installView_ || !progress_) return;
  paintManager_.KillTimer(installView_, kBackgroundTimer);
  paintManager_.KillTimer(progress_, kProgressTimer);
  progress_->SetValue(progress_->GetMaxValue());
  UpdateProgressText();
  RedrawWindow(GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  captionButtons_->SetVisible(true);
  ::SendMessageW(listenWindow_, kListenFinishedMessage, 0, 0);
  BringToFront(GetHWND());
  if (DialogScript::ReadBool("global_show_completewindow") && completeView_) {
    tabMain_->SelectItem(completeView_, false);
    startButton_->SetFocus();
    ShowNumber(result);
  } else {
    LaunchApp();
  }
}

void CDlgInstall::ShowNumber(int value) {
  if (!numberBoxes_) return;
  numberBoxes_->RemoveAll();
  for (const wchar_t digit : std::to_wstring(value)) {
    auto* box = new CHorizontalLayoutUI;
    box->SetFixedWidth(28);
    box->SetFixedHeight(36);
    auto* label = new CLabelUI;
    label->SetFixedWidth(24);
    label->SetText(std::wstring(1, digit));
    label->SetAttribute(L"borderround", L"2,2");
    label->SetAttribute(L"bordercolor", L"#FF1FC880");
    label->SetAttribute(L"bordersize", L"1,1,2,2");
    label->SetAttribute(L"align", L"center");
    label->SetAttribute(L"valign", L"vcenter");
    label->SetFont(18);
    label->SetTextColor(0xFF1FC880);
    label->SetAttribute(L"horzpaddingcenter", L"true");
    box->Add(label);
    numberBoxes_->Add(box);
  }
}

void CDlgInstall::OnBtnStart(TNotifyUI&) { LaunchApp(); }

void CDlgInstall::LaunchApp() {
  const std::wstring folder = ExpandPath(DialogScript::ReadString("global_install_path"));
  const std::wstring program = dialog::ProgramPath(folder, DialogScript::ReadString("global_main_app_name"));
  const std::wstring parameters = DialogScript::ReadString("global_start_parameter");
  if (DialogScript::ReadBool("global_startuseexplorer_level")) {
    DebugTrace(L"ProcessLauncherExplorerLevel~!\r\n");
    ExplorerLaunch(program, parameters);
  } else {
    ShellExecuteCall(nullptr, program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
  }
  CInstallMgr::Instance().AfterComplete();
  PostMessage(WM_CLOSE, kCloseAfterFinish, 0);
}

void CDlgInstall::OnBtnClose(TNotifyUI&) {
  if (completeView_ && completeView_->IsVisible()) {
    Close(kCloseAfterFinish);
    return;
  }
  if (AskOwned(L"您确定要退出安装程序？", L"提醒", MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
    PostMessage(WM_CLOSE, kCloseConfirmed, 0);
}

LRESULT CDlgInstall::OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  if (installing_) {
    // The worker still runs script events: closing now would release the
    // script state under it. The window stays until the install ends.
    DebugTrace(L"close refused while installing");
    handled = TRUE;
    return 0;
  }
  return WindowImplBase::OnClose(message, wParam, lParam, handled);
}

LRESULT CDlgInstall::OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  PostQuitMessage(0);
  return WindowImplBase::OnDestroy(message, wParam, lParam, handled);
}

}  // namespace kw
