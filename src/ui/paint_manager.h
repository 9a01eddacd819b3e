// The per-window engine of the framework: the control tree, messages turned
// into control events, notifications, fonts, images, default attributes and
// styles, control timers, keyboard focus, painting (opaque or per-pixel
// alpha) and the window's DPI scale. The static side holds what all windows
// share: shared fonts and images, the list of live managers, the global DPI
// and the message loop.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles.h"
#include "ui/attribute_table.h"
#include "ui/dpi_scale.h"
#include "ui/offscreen_surface.h"
#include "ui/resource_settings.h"
#include "ui/ui_events.h"

namespace DuiLib {

class CControlUI;
class CShadowUI;
class CImagePrefetch;
struct ImageDescriptor;
struct ImageEntry;
struct ImageCaches;

// One font of a window or of the process.
struct FontEntry {
  kw::UniqueFont font;
  std::wstring faceName;  // at most 31 characters used
  int size = 0;           // as written in the skin
  bool bold = false;
  bool underline = false;
  bool italic = false;
  TEXTMETRICW metrics{};
};

struct TimerEntry {
  CControlUI* sender = nullptr;
  UINT id = 0;           // the control's own id
  HWND window = nullptr;
  UINT windowTimerId = 0;
  bool killed = false;
};

// Search flags of CControlUI::FindControl.
enum FindControlFlags : UINT {
  UIFIND_ALL = 0x00000000,
  UIFIND_VISIBLE = 0x00000001,
  UIFIND_ENABLED = 0x00000002,
  UIFIND_HITTEST = 0x00000004,
  UIFIND_UPDATETEST = 0x00000008,
  UIFIND_TOP_FIRST = 0x00000010,
  UIFIND_ME_FIRST = 0x80000000,
};

// Control flags (GetControlFlags).
enum ControlFlags : UINT {
  UIFLAG_TABSTOP = 0x00000001,
  UIFLAG_SETCURSOR = 0x00000002,
  UIFLAG_WANTRETURN = 0x00000004,
};

// Creates a control for a class name; the builder asks plug-in creators
// when the factory knows the name not.
using PluginCreator = CControlUI* (*)(std::wstring_view className);

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // --- Process-wide resources ---
  static void SetResourceInstance(HINSTANCE instance);
  static HINSTANCE GetResourceInstance();
  static void SetResourcePath(std::wstring_view path);
  static std::wstring GetResourcePath();
  static void SetResourceArchive(const void* data, std::size_t size, std::wstring_view password);
  static bool ResourceArchiveHasEntry(std::wstring_view name);
  static bool IsArchiveMode();
  // Runs until the quit message; returns its exit code.
  static int MessageLoop();
  // One message of the loop (for tests that pump by hand): pre-processing,
  // translation and dispatch.
  static bool TranslateMessage(const MSG* message);
  // After the loop: shared images and fonts go.
  static void Shutdown();
  static const std::vector<CPaintManagerUI*>& GetPaintManagers();
  static void AddPlugin(PluginCreator creator);
  static const std::vector<PluginCreator>& GetPlugins();

  // --- Window ---
  void Init(HWND window, std::wstring_view name = {});
  HWND GetPaintWindow() const { return window_; }
  HDC GetPaintDC() const { return paintDc_.Get(); }
  // The offscreen surface's DC while painting (null outside a paint).
  HDC GetOffscreenDC() const { return surface_.Dc(); }
  const COffscreenSurface& GetOffscreenSurface() const { return surface_; }
  std::wstring_view GetName() const { return name_; }
  POINT GetMousePos() const { return lastMousePoint_; }
  SIZE GetClientSize() const;
  HWND GetTooltipWindow() const { return tooltipWindow_.Get(); }

  // Window attributes (the Window element, applied by the dialog builder).
  void SetWindowAttribute(std::wstring_view name, std::wstring_view value);
  SIZE GetInitSize() const { return initSize_; }
  void SetInitSize(int cx, int cy);
  RECT GetSizeBox() const { return sizeBox_; }
  void SetSizeBox(const RECT& rect) { sizeBox_ = rect; }
  RECT GetSizeBoxInset() const { return sizeBoxInset_; }
  void SetSizeBoxInset(const RECT& rect) { sizeBoxInset_ = rect; }
  RECT GetCaptionRect() const { return captionRect_; }
  void SetCaptionRect(const RECT& rect) { captionRect_ = rect; }
  SIZE GetRoundCorner() const { return roundCorner_; }
  void SetRoundCorner(int cx, int cy) { roundCorner_ = SIZE{cx, cy}; }
  SIZE GetMinInfo() const { return minInfo_; }  // unscaled
  void SetMinInfo(int cx, int cy);
  SIZE GetMaxInfo() const { return maxInfo_; }  // unscaled
  void SetMaxInfo(int cx, int cy);
  bool IsShowUpdateRect() const { return showDirty_; }
  void SetShowUpdateRect(bool show) { showDirty_ = show; }
  bool IsNoActivate() const { return noActivate_; }
  void SetNoActivate(bool noActivate) { noActivate_ = noActivate; }
  BYTE GetOpacity() const { return opacity_; }
  void SetOpacity(BYTE opacity);          // also makes the window layered with a constant alpha
  void SetLayeredOpacity(BYTE opacity);   // per-pixel updates with this constant alpha
  bool IsLayered() const { return layered_; }
  void SetLayered(bool layered);
  RECT GetLayeredInset() const { return layeredInset_; }
  void SetLayeredInset(const RECT& inset);
  std::wstring_view GetLayeredImage() const { return layeredImage_; }
  void SetLayeredImage(std::wstring_view image);
  bool IsUseGdiplusText() const { return gdiplusText_; }
  void SetUseGdiplusText(bool use) { gdiplusText_ = use; }
  int GetGdiplusTextRenderingHint() const { return textRenderingHint_; }
  void SetGdiplusTextRenderingHint(int hint) { textRenderingHint_ = hint; }
  bool IsTextRenderDouble() const { return textRenderDouble_; }
  bool IsNormalTab() const { return normalTab_; }
  void SetNormalTab(bool on) { normalTab_ = on; }
  bool IsKillFocusSendButtonUp() const { return killFocusSendsButtonUp_; }
  bool IsAutoDpi() const { return autoDpi_; }
  bool IsRouteByVirtualWindow() const { return routeByVirtualWindow_; }
  void SetRouteByVirtualWindow(bool on) { routeByVirtualWindow_ = on; }
  int GetHoverTime() const { return tooltipHoverTime_; }
  void SetHoverTime(int milliseconds) { tooltipHoverTime_ = milliseconds; }
  DWORD GetTooltipBkColor() const { return tooltipBkColor_; }
  DWORD GetTooltipTextColor() const { return tooltipTextColor_; }
  DWORD GetDefaultDisabledColor() const { return defaultDisabledColor_; }
  DWORD GetDefaultFontColor() const { return defaultFontColor_; }
  DWORD GetDefaultLinkFontColor() const { return defaultLinkFontColor_; }
  DWORD GetDefaultLinkHoverFontColor() const { return defaultLinkHoverFontColor_; }
  DWORD GetDefaultSelectedBkColor() const { return defaultSelectedColor_; }
  CShadowUI* GetShadow() { return shadow_.get(); }

  // --- DPI ---
  DpiScale& GetDpi() { return dpi_; }
  const DpiScale& GetDpi() const { return dpi_; }
  int GetDPIObj() const { return dpi_.EffectiveScale(); }
  int Scale(int value) const { return dpi_.Scale(value); }
  int Unscale(int value) const { return dpi_.Unscale(value); }
  RECT ScaleRect(const RECT& rect) const { return dpi_.ScaleRect(rect); }
  SIZE ScaleSize(const SIZE& size) const { return dpi_.ScaleSize(size); }
  void SetDPI(int dpi);
  static void SetAllDPI(int dpi);
  // The effective DPI of the monitor that holds `window` (the primary one as
  // fallback), snapped down to 96/120/144/168/192. A failed per-monitor query
  // shows "GetDpiForMonitor failed" and falls back to the screen's DPI.
  static int GetMonitorDpi(HWND window);
  static int GetGlobalDpi();

  // --- Control tree ---
  bool AttachDialog(CControlUI* root);
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  CControlUI* GetRoot() const { return root_; }
  CControlUI* FindControl(std::wstring_view name) const;
  CControlUI* FindControl(POINT point) const;
  CControlUI* FindSubControlByName(CControlUI* parent, std::wstring_view name) const;
  CControlUI* FindSubControlByPoint(CControlUI* parent, POINT point) const;
  // The list is the manager's and refilled by each call; "*" matches all.
  std::vector<CControlUI*>& FindSubControlsByClass(CControlUI* parent, std::wstring_view className);
  void ReapObjects(CControlUI* control);
  void AddDelayedCleanup(CControlUI* control);
  void NeedUpdate() { needUpdate_ = true; }
  bool IsUpdateNeeded() const { return needUpdate_; }
  void Invalidate();
  void Invalidate(const RECT& rect);
  bool IsFirstLayout() const { return firstLayout_; }
  // Paints that reached the window (for benchmarks and tests).
  unsigned CompletedPaints() const { return completedPaints_; }
  // Controls painted after the root.
  bool AddPostPaint(CControlUI* control);
  bool RemovePostPaint(CControlUI* control);
  // Native child windows printed into a layered surface.
  void AddNativeWindow(CControlUI* control, HWND window);
  void RemoveNativeWindow(HWND window);
  // The name map, rebuilt by AttachDialog; a control added later registers itself.
  void AddNameMapEntry(CControlUI* control);

  // --- Focus and Tab ---
  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  void SetFocusNeeded(CControlUI* control);
  bool SetNextTabControl(bool forward = true);
  void AddTabControl(CControlUI* control);
  const std::vector<CControlUI*>& GetTabControls() const { return tabOrder_; }
  bool AddFocusView(CControlUI* container);
  bool RemoveFocusView(CControlUI* container);
  bool IsCaptured() const { return mouseCapture_; }
  void SetCapture();
  void ReleaseCapture();
  CControlUI* GetHoverControl() const { return hover_; }
  CControlUI* GetPressedControl() const { return pressed_; }

  // --- Timers ---
  bool SetTimer(CControlUI* control, UINT id, UINT elapse);
  bool KillTimer(CControlUI* control, UINT id);
  void KillTimers(CControlUI* control);
  void RemoveAllTimers();
  const std::vector<TimerEntry>& GetTimers() const { return timers_; }

  // --- Notifications and filters ---
  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  void SendNotify(TNotifyUI& notification, bool async = false);
  void SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam = 0, LPARAM lParam = 0,
                  bool async = false);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  bool AddTranslateAccelerator(ITranslateAccelerator* translator);
  bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);
  bool TranslateAccelerator(MSG* message);
  // Keyboard pre-processing before translation (Tab, system keys).
  bool PreMessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Everything the window does not handle itself.
  bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // --- Fonts ---
  HFONT AddFont(int id, std::wstring_view face, int size, bool bold, bool underline, bool italic, bool shared = false);
  HFONT GetFont(int id);
  const FontEntry* GetFontInfo(int id);
  const FontEntry* GetFontInfo(HFONT font);
  const FontEntry& GetDefaultFontInfo();
  void SetDefaultFont(std::wstring_view face, int size, bool bold, bool underline, bool italic, bool shared = false);
  bool RemoveFont(int id, bool shared = false);
  void RemoveAllFonts(bool shared = false);
  void SetShareAllFonts(bool share) { shareAllFonts_ = share; }
  int FontCount(bool shared = false) const;
  bool HasFont(int id, bool shared = false) const;

  // --- Images (defined with the image loader) ---
  const ImageDescriptor* GetDrawInfo(std::wstring_view drawText, std::wstring_view modifyText);
  const ImageEntry* GetImage(std::wstring_view name);
  const ImageEntry* GetImageEx(std::wstring_view name, std::wstring_view type = {}, DWORD mask = 0, bool hsl = false,
                               bool shared = false);
  const ImageEntry* AddImage(std::wstring_view name, std::wstring_view type = {}, DWORD mask = 0, bool hsl = false,
                             bool shared = false);
  bool RemoveImage(std::wstring_view name, bool shared = false);
  void RemoveAllImages(bool shared = false);
  // The window's descriptor cache and its (not the shared) image cache go.
  void RemoveAllDrawInfos();
  void SetShareAllImages(bool share) { shareAllImages_ = share; }
  bool IsShareAllImages() const { return shareAllImages_; }
  ImageCaches& WindowImageCaches() { return *imageCaches_; }
  static ImageCaches& SharedImageCaches();
  // Starts decoding the first view's images of `skin` (markup text or file)
  // on a thread of its own, for the images the window loads until its first
  // frame is done; once per manager.
  void PrefetchImages(std::wstring_view skin);
  // The prefetch under way, if any (it ends after the first frame).
  CImagePrefetch* ImagePrefetch() const { return prefetch_.get(); }
  static std::unique_ptr<ImageEntry> LoadImage(std::wstring_view name, std::wstring_view type = {}, DWORD mask = 0);

  // --- Default attribute lists and styles ---
  void AddDefaultAttributeList(std::wstring_view controlName, std::wstring_view attributes, bool shared = false);
  std::wstring_view GetDefaultAttributeList(std::wstring_view controlName) const;
  bool RemoveDefaultAttributeList(std::wstring_view controlName, bool shared = false);
  void AddStyle(std::wstring_view name, std::wstring_view attributes, bool shared = false);
  // Null when there is no style of that name.
  const std::wstring* GetStyle(std::wstring_view name) const;
  void RemoveAllStyles(bool shared = false);

 private:
  static std::span<const AttributeSetter<CPaintManagerUI>> WindowAttributeTable();
  void RebuildFontsForDpi();
  bool HandlePaint();
  bool HandleMouseMove(WPARAM wParam, LPARAM lParam);
  bool HandleHover(LPARAM lParam);
  void LayoutIfNeeded(bool& rootLaidOut, bool& endPaint);
  void PushToWindow(HDC windowDc, const RECT& area);
  void FixLayeredAlpha(const RECT& area);
  void DeliverNotification(TNotifyUI& notification);
  void DeliverAsyncQueue();
  void ShowTooltip(CControlUI* control);
  void HideTooltip();
  void DestroyTooltip();
  void ResizeForScale(int oldScale, int newScale);
  std::unique_ptr<FontEntry> MakeFont(std::wstring_view face, int size, bool bold, bool underline, bool italic,
                                      bool addBoldWeight, bool clearType) const;
  void ReadMetrics(FontEntry& entry) const;
  TEventUI MakeEvent(int type, CControlUI* sender, WPARAM wParam, LPARAM lParam) const;
  bool IsInRoot(CControlUI* control) const;

  HWND window_ = nullptr;
  kw::WindowDc paintDc_;
  std::wstring name_;
  COffscreenSurface surface_;
  CControlUI* root_ = nullptr;
  CControlUI* focus_ = nullptr;
  CControlUI* hover_ = nullptr;
  CControlUI* pressed_ = nullptr;
  CControlUI* keyPressed_ = nullptr;
  CControlUI* lastHoverTarget_ = nullptr;
  CControlUI* focusPending_ = nullptr;
  POINT pressPoint_{};
  bool dragMoving_ = false;
  bool mouseCapture_ = false;
  bool mouseTracking_ = false;
  POINT lastMousePoint_{-1, -1};

  bool needUpdate_ = false;
  bool firstLayout_ = true;
  bool layered_ = false;
  bool layeredChanged_ = false;
  bool showDirty_ = false;
  bool noActivate_ = false;
  bool focusNeeded_ = false;
  bool asyncPosted_ = false;
  bool inPaint_ = false;
  bool layeredPaintPosted_ = false;
  unsigned completedPaints_ = 0;
  RECT layeredUpdate_{};  // area due for the next layered push

  std::map<std::wstring, CControlUI*, std::less<>> nameMap_;
  std::vector<INotifyUI*> notifiers_;
  std::vector<IMessageFilterUI*> preMessageFilters_;
  std::vector<IMessageFilterUI*> messageFilters_;
  std::vector<ITranslateAccelerator*> translators_;
  std::vector<TimerEntry> timers_;
  UINT lastTimerId_ = 0;
  std::vector<CControlUI*> delayedCleanup_;
  std::deque<TNotifyUI> asyncNotifications_;
  std::vector<CControlUI*> postPaint_;
  std::vector<std::pair<CControlUI*, HWND>> nativeWindows_;
  std::vector<CControlUI*> tabOrder_;
  int lastTabIndex_ = -1;
  std::vector<CControlUI*> focusViews_;
  std::vector<CControlUI*> foundControls_;

  std::map<std::wstring, std::unique_ptr<FontEntry>, std::less<>> fonts_;
  std::unique_ptr<FontEntry> defaultFont_;
  bool shareAllFonts_ = false;
  std::unique_ptr<ImageCaches> imageCaches_;
  bool shareAllImages_ = false;
  std::map<std::wstring, std::wstring, std::less<>> defaultAttributes_;
  std::map<std::wstring, std::wstring, std::less<>> styles_;

  SIZE initSize_{};
  RECT sizeBox_{};
  RECT sizeBoxInset_{};
  RECT captionRect_{};
  SIZE roundCorner_{};
  SIZE minInfo_{};
  SIZE maxInfo_{};
  BYTE opacity_ = 255;
  RECT layeredInset_{};
  std::wstring layeredImage_;
  int tooltipHoverTime_ = 400;
  DWORD tooltipBkColor_ = 0xFFFFFFFF;
  DWORD tooltipTextColor_ = 0xFF000000;
  bool gdiplusText_ = false;
  int textRenderingHint_ = 0;
  bool textRenderDouble_ = false;
  bool normalTab_ = true;
  bool killFocusSendsButtonUp_ = true;
  bool routeByVirtualWindow_ = false;
  bool autoDpi_ = false;
  DWORD defaultDisabledColor_ = 0xFFA7A6AA;
  DWORD defaultFontColor_ = 0xFF000000;
  DWORD defaultLinkFontColor_ = 0xFF0000FF;
  DWORD defaultLinkHoverFontColor_ = 0xFFD3215F;
  DWORD defaultSelectedColor_ = 0xFFBAE4FF;

  DpiScale dpi_;
  std::unique_ptr<CShadowUI> shadow_;
  std::unique_ptr<CImagePrefetch> prefetch_;
  bool prefetchStarted_ = false;
  kw::UniqueWindow tooltipWindow_;
  TOOLINFOW tooltipInfo_{};
  std::wstring tooltipText_;
};

}  // namespace DuiLib
