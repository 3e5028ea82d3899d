#include "win/dialog_extent.h"

#include <string>

namespace qx::win32 {
namespace {

constexpr int kHimetricPerInch = 2540;

SIZE screenPixelsPerInch() {
  HDC screen = GetDC(nullptr);
  SIZE perInch{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
  ReleaseDC(nullptr, screen);
  return perInch;
}

}  // namespace

SIZE dialogPixelSize(const DialogTemplate& dialogTemplate) {
  HDC screen = GetDC(nullptr);
  LOGFONTW font{};
  font.lfHeight = -MulDiv(dialogTemplate.fontSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  const std::wstring face(dialogTemplate.fontName.begin(), dialogTemplate.fontName.end());
  lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
  HFONT made = CreateFontIndirectW(&font);
  HGDIOBJ old = SelectObject(screen, made);
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen, &metrics);
  // The dialog manager's average width: the Latin letters' extent halved
  // twice over, rounded.
  static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE letters{};
  GetTextExtentPoint32W(screen, kLetters, 52, &letters);
  SelectObject(screen, old);
  DeleteObject(made);
  ReleaseDC(nullptr, screen);
  const int baseX = (letters.cx / 26 + 1) / 2;
  const int baseY = metrics.tmHeight;
  return SIZE{MulDiv(dialogTemplate.width, baseX, 4), MulDiv(dialogTemplate.height, baseY, 8)};
}

SIZEL pixelsToHimetric(SIZE pixels) {
  const SIZE perInch = screenPixelsPerInch();
  return SIZEL{MulDiv(pixels.cx, kHimetricPerInch, perInch.cx),
               MulDiv(pixels.cy, kHimetricPerInch, perInch.cy)};
}

SIZE himetricToPixels(SIZEL extent) {
  const SIZE perInch = screenPixelsPerInch();
  return SIZE{MulDiv(extent.cx, perInch.cx, kHimetricPerInch),
              MulDiv(extent.cy, perInch.cy, kHimetricPerInch)};
}

}  // namespace qx::win32
