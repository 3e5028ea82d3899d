#include "win/dialog_template_win.h"

#include <windows.h>

namespace qx::win32 {
namespace {

class TemplateWriter {
 public:
  void word(std::uint16_t value) { raw(&value, sizeof value); }
  void dword(std::uint32_t value) { raw(&value, sizeof value); }
  void number(int value) { word(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
  void text(const std::u16string& value) {
    for (char16_t c : value) word(c);
    word(0);
  }
  // Standard control classes may be written by their atoms; the rest by name.
  void windowClass(const std::u16string& name) {
    static const struct {
      std::u16string_view name;
      std::uint16_t atom;
    } kAtoms[] = {{u"BUTTON", 0x80},  {u"EDIT", 0x81},      {u"STATIC", 0x82},
                  {u"LISTBOX", 0x83}, {u"SCROLLBAR", 0x84}, {u"COMBOBOX", 0x85}};
    for (const auto& atom : kAtoms) {
      if (name == atom.name) {
        word(0xFFFF);
        word(atom.atom);
        return;
      }
    }
    text(name);
  }
  void align() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  void raw(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::vector<std::uint8_t> buildDialogTemplate(const DialogTemplate& dialogTemplate) {
  TemplateWriter out;
  out.word(1);       // version
  out.word(0xFFFF);  // extended template
  out.dword(0);      // help id
  out.dword(dialogTemplate.exStyle);
  out.dword(dialogTemplate.style);
  out.word(static_cast<std::uint16_t>(dialogTemplate.controls.size()));
  out.number(0);
  out.number(0);
  out.number(dialogTemplate.width);
  out.number(dialogTemplate.height);
  out.word(0);  // no menu
  out.word(0);  // the system's dialog class
  out.text(dialogTemplate.caption);
  if (dialogTemplate.style & DS_SETFONT) {
    out.number(dialogTemplate.fontSize);
    out.word(FW_NORMAL);
    out.word(0);  // not italic, default character set
    out.text(dialogTemplate.fontName);
  }
  for (const DialogControl& control : dialogTemplate.controls) {
    out.align();
    out.dword(0);  // help id
    out.dword(0);  // extended style
    out.dword(control.style);
    out.number(control.x);
    out.number(control.y);
    out.number(control.width);
    out.number(control.height);
    out.dword(static_cast<std::uint32_t>(control.id));
    out.windowClass(control.windowClass);
    out.text(control.text);
    out.word(0);  // no creation data
  }
  return out.take();
}

}  // namespace qx::win32
