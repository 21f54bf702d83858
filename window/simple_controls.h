// The simple controls: STRING, PROMPT, GROUP, TEXT and BUTTON.
#pragma once

#include "window/control.h"

namespace korvex {

// A static text drawn in its font's colour on the window's background.
class VelString : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override;
  HBRUSH OnColour(HDC dc) override;

 protected:
  virtual DWORD TextStyle() const { return SS_LEFT | SS_NOPREFIX; }
};

// A prompt: like a string, but "&" marks its mnemonic.
class VelPrompt : public VelString {
 public:
  using VelString::VelString;

 protected:
  DWORD TextStyle() const override { return SS_LEFT; }
};

// A frame with a caption around other controls.
class VelGroup : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override;
  HBRUSH OnColour(HDC dc) override;
};

// A multi-line text box.
class VelText : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override;
};

// A push button; pressing it posts EVENT:Accepted for its field.
class VelButton : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override;
  void OnCommand(UINT code) override;

  // Button flag: the default button of its window.
  static constexpr uint32_t kFlagDefault = 0x0004;
};

// Registers the factories of the simple controls.
void RegisterSimpleControls();

}  // namespace korvex
