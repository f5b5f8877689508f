// CDialogTemplate: the general notice dialog. An optional symbol at the top
// left, a read-only rich edit body (plain text, UTF-16 or RTF, with links),
// optional centred lines under it and a row of buttons at the bottom right,
// each ending the dialog with its identifier. Sized from its texts and a
// scale factor when it opens.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/body_text.h"
#include "base/gdi_handles.h"
#include "ui/geometry.h"
#include "ui/my_rich_edit_ctrl.h"
#include "ui/symbol_image.h"
#include "ui/template_block.h"
#include "ui/window_object.h"

namespace brisk {

class MacroTable;

// The system's statistical test (all of its tests) of whether the bytes are
// UTF-16 text.
bool IsUtf16Text(ByteSpan bytes);

// Identifier of the body control.
constexpr int kNoticeBodyId = 1274;

class CDialogTemplate : public DialogImpl {
 public:
  CDialogTemplate(int widthPixels, double scale);
  ~CDialogTemplate() override;

  void SetTitle(std::wstring title) { title_ = std::move(title); }
  // Keeps a duplicate of the icon; the caller keeps its own. Null is ignored.
  void SetDialogIcon(HICON icon);
  void AddButton(std::wstring caption, int id) { buttonSpecs_.push_back({std::move(caption), id}); }
  // Font choice 0 is the small font, 1 the body font, others the emphasis font.
  void AddLabel(std::wstring text, int fontChoice) { labelSpecs_.push_back({std::move(text), fontChoice}); }
  void SetBodyText(ByteSpan bytes, const MacroTable* macros);
  // Only the first symbol that loads counts; kinds outside 1 to 6 set none.
  void SetSymbol(int kind);
  void SetTopmost(bool on) { topmost_ = on; }
  void SetToForeground(bool on) { toForeground_ = on; }

  // Runs the dialog modally; the identifier it ended with, or -1 when it
  // cannot be created.
  INT_PTR ShowModal(HWND owner);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct ButtonSpec {
    std::wstring caption;
    int id;
  };
  struct LabelSpec {
    std::wstring text;
    int fontChoice;
  };

  void OnInitDialog();
  void LoadBody();
  std::vector<int> CreateLabels(int top, int clientWidth);
  void CreateButtons();
  void ResizeToWidth(int width);
  void OnPaint();
  void OpenLink(const CHARRANGE& range);
  Size SymbolSize() const;
  HFONT LabelFont(int fontChoice) const;

  TemplateBlock template_;
  double scale_;
  MyRichEditCtrl body_;
  UniqueFont smallFont_;
  UniqueFont bodyFont_;
  UniqueFont emphasisFont_;
  UniqueIcon icon_;
  std::wstring title_;
  BodyText bodyText_;
  bool bodyIsRtf_ = false;
  bool topmost_ = false;
  bool toForeground_ = false;
  std::vector<HWND> buttons_;  // right to left
  std::vector<ButtonSpec> buttonSpecs_;
  std::vector<HWND> labels_;
  std::vector<LabelSpec> labelSpecs_;
  int bodyBottom_ = 0;
  std::unique_ptr<SymbolImage> symbol_;
};

}  // namespace brisk
