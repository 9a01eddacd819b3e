// COptionUI: a button that keeps a selected state, alone (it toggles) or in
// a group (selecting one deselects the others), and says "selectchanged".
// CCheckBoxUI: an option whose "selectchanged" carries the new state.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "ui/button.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
 public:
  COptionUI();
  ~COptionUI() override;

  std::wstring_view GetClassName() const override;       // "OptionUI"
  void* FindInterface(std::wstring_view name) override;  // "Option"

  bool IsSelected() const { return selected_; }
  virtual void Selected(bool select, bool triggerEvent = true);
  std::wstring_view GetGroup() const { return group_; }
  void SetGroup(std::wstring_view group);

  bool Activate() override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  void SetSelectedImage(std::wstring_view descriptor);
  void SetSelectedTextColor(DWORD color);
  DWORD GetSelectedTextColor() const { return selectedTextColor_; }
  void SetSelectedFont(int id);
  int GetSelectedFont() const { return selectedFont_; }

  void PaintBkColor(HDC dc) override;
  void PaintStatusImage(HDC dc) override;
  void PaintForeImage(HDC dc) override;
  void PaintText(HDC dc) override;

  friend struct OptionAttributes;

 protected:
  int GetEstimateFont() const override { return selectedFont_ != -1 ? selectedFont_ : font_; }
  // wParam of "selectchanged".
  virtual WPARAM SelectChangedParam() const { return 0; }

  bool selected_ = false;
  std::wstring group_;
  std::wstring selectedImage_;
  std::wstring selectedHotImage_;
  std::wstring selectedPushedImage_;
  std::wstring selectedDisabledImage_;
  std::wstring selectedForeImage_;
  std::wstring selectedStateImage_;
  int selectedStateCount_ = 0;
  DWORD selectedBkColor_ = 0;
  DWORD selectedTextColor_ = 0;
  int selectedFont_ = -1;
  std::wstring selectedToolTip_;
  std::wstring selectedSwitchRes_[6];
};

class CCheckBoxUI : public COptionUI {
 public:
  std::wstring_view GetClassName() const override;       // "CheckBoxUI"
  void* FindInterface(std::wstring_view name) override;  // "CheckBox"

  bool GetCheck() const { return IsSelected(); }
  void SetCheck(bool check, bool triggerEvent = true) { Selected(check, triggerEvent); }
  bool IsAutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool on) { autoCheck_ = on; }

  void HandleEvent(TEventUI& event) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

 protected:
  WPARAM SelectChangedParam() const override { return selected_ ? 1 : 0; }

  bool autoCheck_ = false;
};

}  // namespace DuiLib
