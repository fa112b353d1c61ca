// The image strips of the program's resources, scaled once to the screen's
// density (nearest pixel, so the small pictures stay crisp), and the drag
// pointer.
#include <map>
#include <vector>

#include "platform/win32/Win32Controls.h"
#include "resource.h"

namespace plat::win32 {

static_assert(IDB_STRIP_ROWS == kStripRows && IDB_STRIP_TOOLS == kStripTools && IDB_STRIP_SOUNDS == kStripSounds,
              "the strips' resource ids are the layer's strip numbers");

namespace {

constexpr int kSourceSize = 16;

struct Strip {
  HBITMAP normal = nullptr;  // premultiplied BGRA, as AlphaBlend takes it
  HBITMAP faded = nullptr;   // the same in grey, half transparent: disabled buttons
  int count = 0;
  int size = 0;
};

HBITMAP CreateDib(int width, int height, uint32_t** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return bitmap;
}

uint32_t Premultiplied(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

Strip LoadStrip(int id) {
  Strip strip;
  HBITMAP source = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!source) return strip;
  DIBSECTION dib = {};
  if (GetObjectA(source, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBitsPixel == 32 && dib.dsBm.bmBits &&
      dib.dsBm.bmHeight == kSourceSize) {
    const int width = dib.dsBm.bmWidth;
    const bool bottomUp = dib.dsBmih.biHeight > 0;
    const auto* src = static_cast<const uint8_t*>(dib.dsBm.bmBits);
    strip.count = width / kSourceSize;
    strip.size = ImageSize();
    const int s = strip.size;
    uint32_t *normal = nullptr, *faded = nullptr;
    strip.normal = CreateDib(strip.count * s, s, &normal);
    strip.faded = CreateDib(strip.count * s, s, &faded);
    if (strip.normal && strip.faded) {
      for (int y = 0; y < s; ++y) {
        const int sy = (2 * y + 1) * kSourceSize / (2 * s);
        const uint8_t* row = src + static_cast<size_t>(bottomUp ? kSourceSize - 1 - sy : sy) * dib.dsBm.bmWidthBytes;
        for (int x = 0; x < strip.count * s; ++x) {
          const int sx = (x / s) * kSourceSize + (2 * (x % s) + 1) * kSourceSize / (2 * s);
          const uint8_t* p = row + 4 * sx;  // B G R A, straight alpha
          const uint32_t b = p[0], g = p[1], r = p[2], a = p[3];
          normal[y * strip.count * s + x] = Premultiplied(r, g, b, a);
          const uint32_t grey = 96 + (r * 30 + g * 59 + b * 11) / 100 * 5 / 8;
          faded[y * strip.count * s + x] = Premultiplied(grey, grey, grey, a / 2);
        }
      }
    }
  }
  DeleteObject(source);
  return strip;
}

const Strip& StripOf(int id) {
  // The strips live as long as the program: a handful of small bitmaps.
  static std::map<int, Strip> strips;
  auto it = strips.find(id);
  if (it == strips.end()) it = strips.emplace(id, LoadStrip(id)).first;
  return it->second;
}

}  // namespace

int ImageSize() { return Scale(kSourceSize); }

void DrawImage(HDC dc, int x, int y, const ImageRef& image, bool disabled) {
  if (!image.Valid()) return;
  const Strip& strip = StripOf(image.strip);
  if (image.index >= strip.count || !strip.normal) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, disabled ? strip.faded : strip.normal);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, strip.size, strip.size, memory, image.index * strip.size, 0, strip.size, strip.size, blend);
  SelectObject(memory, old);
  DeleteDC(memory);
}

HCURSOR DragCursor() {
  static HCURSOR cursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_DRAG_ROWS));
  return cursor ? cursor : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
}

}  // namespace plat::win32
