#include "ui/control_factory.h"

#include "ui/container.h"
#include "ui/control.h"

namespace DuiLib {

namespace {

template <class T>
CControlUI* Make() {
  return new T;
}

// Every class name a skin may use. The classes this framework builds are
// themselves; the others stand in as the nearest plain control or layout so
// that such skins still build (leaves as CControlUI, lists and menus as
// layouts, composite controls as CContainerUI). The basic controls and the
// rich edit replace their stand-ins through the registration hooks.
constexpr ControlClass kBuiltInClasses[] = {
    {L"CControlUI", Make<CControlUI>},
    {L"CContainerUI", Make<CContainerUI>},
    {L"CHorizontalLayoutUI", Make<CHorizontalLayoutUI>},
    {L"CVerticalLayoutUI", Make<CVerticalLayoutUI>},
    {L"CTabLayoutUI", Make<CTabLayoutUI>},
    // Leaves.
    {L"CButtonUI", Make<CControlUI>},
    {L"CDateTimeUI", Make<CControlUI>},
    {L"CEditUI", Make<CControlUI>},
    {L"CActiveXUI", Make<CControlUI>},
    {L"CFlashUI", Make<CControlUI>},
    {L"CGifAnimUI", Make<CControlUI>},
    {L"CWebpAnimUI", Make<CControlUI>},
    {L"CIPAddressUI", Make<CControlUI>},
    {L"CIPAddressExUI", Make<CControlUI>},
    {L"CLabelUI", Make<CControlUI>},
    {L"CListHeaderItemUI", Make<CControlUI>},
    {L"CListLabelElementUI", Make<CControlUI>},
    {L"CListTextElementUI", Make<CControlUI>},
    {L"COptionUI", Make<CControlUI>},
    {L"CCheckBoxUI", Make<CControlUI>},
    {L"CProgressUI", Make<CControlUI>},
    {L"CScrollBarUI", Make<CControlUI>},
    {L"CSliderUI", Make<CControlUI>},
    {L"CTextUI", Make<CControlUI>},
    {L"CWebBrowserUI", Make<CControlUI>},
    {L"CRollTextUI", Make<CControlUI>},
    {L"CColorPaletteUI", Make<CControlUI>},
    {L"CListTextExtElementUI", Make<CControlUI>},
    {L"CHotKeyUI", Make<CControlUI>},
    {L"CFadeButtonUI", Make<CControlUI>},
    {L"CRingUI", Make<CControlUI>},
    // Controls with children.
    {L"CComboUI", Make<CContainerUI>},
    {L"CComboBoxUI", Make<CContainerUI>},
    {L"CRichEditUI", Make<CContainerUI>},
    {L"CListContainerElementUI", Make<CContainerUI>},
    {L"CListContainerHeaderItemUI", Make<CContainerUI>},
    {L"CMenuElementUI", Make<CContainerUI>},
    {L"CTreeNodeUI", Make<CContainerUI>},
    {L"CChildLayoutUI", Make<CContainerUI>},
    {L"CTileLayoutUI", Make<CContainerUI>},
    {L"CGroupBoxUI", Make<CVerticalLayoutUI>},
    {L"CListUI", Make<CVerticalLayoutUI>},
    {L"CListExUI", Make<CVerticalLayoutUI>},
    {L"CTreeViewUI", Make<CVerticalLayoutUI>},
    {L"CMenuUI", Make<CVerticalLayoutUI>},
    {L"CListHeaderUI", Make<CHorizontalLayoutUI>},
    {L"CAnimationTabLayoutUI", Make<CTabLayoutUI>},
};

}  // namespace

CControlFactory::CControlFactory() {
  for (const ControlClass& entry : kBuiltInClasses) classes_.emplace(std::wstring(entry.className), entry.create);
  RegisterBasicControls(*this);
  RegisterRichEditControls(*this);
}

CControlFactory& CControlFactory::Instance() {
  static CControlFactory factory;
  return factory;
}

CControlUI* CControlFactory::CreateControl(std::wstring_view className) const {
  auto it = classes_.find(className);
  return it == classes_.end() ? nullptr : it->second();
}

void CControlFactory::RegisterControl(std::wstring_view className, CreateControlFn create) {
  if (className.empty() || !create) return;
  classes_.insert_or_assign(std::wstring(className), create);
}

bool CControlFactory::IsRegistered(std::wstring_view className) const {
  return classes_.find(className) != classes_.end();
}

}  // namespace DuiLib
