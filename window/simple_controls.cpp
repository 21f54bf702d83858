#include "window/simple_controls.h"

#include "window/core/event_codes.h"
#include "window/core/resource_format.h"
#include "window/event_engine.h"
#include "window/window_object.h"

namespace korvex {

namespace {

template <typename T>
std::unique_ptr<Control> Make(WindowObject& window, const rsc::ControlRecord& record, Control* parent) {
  return std::make_unique<T>(window, record, parent);
}

HBRUSH PaintText(const Control& control, HDC dc) {
  const COLORREF colour = control.window().ColourOf(control.record().font);
  if (colour != CLR_INVALID) SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  return control.window().background();
}

}  // namespace

bool VelString::InitFromRecord() {
  return CreateChild("STATIC", record_.text.c_str(), TextStyle(), 0, PixelRect()) != nullptr;
}

HBRUSH VelString::OnColour(HDC dc) { return PaintText(*this, dc); }

bool VelGroup::InitFromRecord() {
  return CreateChild("BUTTON", record_.text.c_str(), BS_GROUPBOX, 0, PixelRect()) != nullptr;
}

HBRUSH VelGroup::OnColour(HDC dc) { return PaintText(*this, dc); }

bool VelText::InitFromRecord() {
  return CreateChild("EDIT", record_.text.c_str(),
                     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, WS_EX_CLIENTEDGE,
                     PixelRect()) != nullptr;
}

bool VelButton::InitFromRecord() {
  const DWORD style = WS_TABSTOP | ((record_.flags & kFlagDefault) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  return CreateChild("BUTTON", record_.text.c_str(), style, 0, PixelRect()) != nullptr;
}

void VelButton::OnCommand(UINT code) {
  if (code == BN_CLICKED) PostEvent(kEventAccepted, static_cast<int32_t>(field()));
}

void RegisterSimpleControls() {
  RegisterControlFactory(rsc::kTypeString, &Make<VelString>);
  RegisterControlFactory(rsc::kTypePrompt, &Make<VelPrompt>);
  RegisterControlFactory(rsc::kTypeGroup, &Make<VelGroup>);
  RegisterControlFactory(rsc::kTypeText, &Make<VelText>);
  RegisterControlFactory(rsc::kTypeButton, &Make<VelButton>);
}

}  // namespace korvex
