// Fonts and text: faces found by MatchFace (fontconfig on the desktop, the page's own
// table in the browser), glyphs rasterised by FreeType with anti-aliasing and kept in a
// cache per face and size.
//
// Sizes follow Windows: a positive height is the cell height (ascent + descent, from the
// face's Windows ascent and descent), a negative one the em height. Text is placed with
// the top-left corner of its cell at the given point; strings are Windows-1252 bytes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <strings.h>

#include "internal.h"

namespace zp {

struct Glyph {
  int left = 0;  // from the pen position to the bitmap's first column
  int top = 0;   // from the baseline up to the bitmap's first row
  int w = 0;
  int h = 0;
  int advance = 0;  // whole pixels, as GDI advances
  std::vector<uint8_t> coverage;
};

// One face at one size, with its metrics in pixels and its glyph cache.
struct FontFace {
  FT_Face face = nullptr;  // null when no face could be loaded: metrics only, no ink
  bool embolden = false;
  bool oblique = false;
  bool mono = false;  // small sizes whose face asks for crisp, hinted pixels
  int ascent = 0;
  int descent = 0;
  int internalLeading = 0;
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  int weight = FW_NORMAL;
  bool italic = false;
  int pitchAndFamily = 0;
  std::array<std::optional<Glyph>, 256> glyphs;

  ~FontFace() {
    if (face) FT_Done_Face(face);
  }
  const Glyph &GlyphFor(unsigned char c);
};

namespace {

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

}  // namespace

// Windows-1252 bytes 0x80..0x9F; everything else is the same number in Unicode.
uint32_t UnicodeOfAnsi(unsigned char c) {
  static const uint16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c;
}

const char *GenericFamily(int pitchAndFamily) {
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
      return "serif";
    case FF_MODERN:
      return "monospace";
    case 4 << 4:
      return "cursive";  // FF_SCRIPT
    case 5 << 4:
      return "fantasy";  // FF_DECORATIVE
    default:
      return (pitchAndFamily & 3) == FIXED_PITCH ? "monospace" : "sans-serif";
  }
}

bool IsDialogFace(const std::string &name) {
  for (const char *dialogFace : {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                 "Microsoft Sans Serif", "Tahoma", "System"}) {
    if (strcasecmp(name.c_str(), dialogFace) == 0) return true;
  }
  return false;
}

namespace {

// Windows' classic dialog face, MS Sans Serif (and its TrueType twin), is narrower than
// the Arial metrics of the face that stands in for it: dialogs laid out for it need the
// stand-in drawn a little narrower, or lines that fit on Windows wrap here.
double StandInWidth(const std::string &face) {
  for (const char *narrow : {"MS Sans Serif", "Microsoft Sans Serif", "MS Shell Dlg"}) {
    if (strcasecmp(face.c_str(), narrow) == 0) return 0.94;
  }
  return 1.0;
}

int Round(double v) {
  return int(std::lround(v));
}

// Metrics for a font whose face cannot be loaded: plausible numbers, no ink.
void SyntheticMetrics(FontFace &f, int height) {
  int cell = height > 0 ? height : height < 0 ? Round(-height * 1.15) : 16;
  f.ascent = Round(cell * 0.8);
  f.descent = cell - f.ascent;
  f.internalLeading = cell - (height < 0 ? -height : Round(cell / 1.15));
  f.aveCharWidth = std::max(1, cell / 2);
  f.maxCharWidth = cell;
}

std::shared_ptr<FontFace> LoadFace(const Font &font) {
  auto f = std::make_shared<FontFace>();
  f->weight = font.weight > 0 ? font.weight : FW_NORMAL;
  f->italic = font.italic;
  FaceFile file = MatchFace(font.face, f->weight, font.italic, font.pitchAndFamily);
  FT_Library lib = Library();
  FT_Face face = nullptr;
  if (!lib || file.path.empty() || FT_New_Face(lib, file.path.c_str(), file.index, &face) != 0 ||
      !FT_IS_SCALABLE(face)) {
    if (face) FT_Done_Face(face);
    SyntheticMetrics(*f, font.height);
    f->pitchAndFamily = font.pitchAndFamily & 0xF0;
    return f;
  }
  f->face = face;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  // Make up for what the face lacks: a bold weight or a slant that was asked for.
  f->embolden = f->weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  f->oblique = font.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);

  const double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  double winAscent = os2 && os2->version != 0xFFFF ? os2->usWinAscent : face->ascender;
  double winDescent = os2 && os2->version != 0xFFFF ? os2->usWinDescent : -face->descender;
  if (winAscent + winDescent <= 0) {
    winAscent = upem * 0.8;
    winDescent = upem * 0.2;
  }
  // The em size in pixels: from the cell height for a positive height, given otherwise.
  double ppem;
  int cell;
  if (font.height > 0) {
    ppem = font.height * upem / (winAscent + winDescent);
    cell = font.height;
  } else {
    ppem = font.height < 0 ? -font.height : 12.0 * 96 / 72;
    cell = Round((winAscent + winDescent) * ppem / upem);
  }
  double scale = ppem / upem;
  f->ascent = Round(winAscent * scale);
  f->descent = std::max(0, cell - f->ascent);
  f->internalLeading = std::max(0, cell - Round(ppem));
  if (hhea) {
    double gap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
    f->externalLeading = std::max(0, Round(gap * scale));
  }
  double avg =
      os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  // A width asked for stretches the face so that its average character has that width.
  double xppem = font.width > 0 ? font.width * upem / avg : ppem * StandInWidth(font.face);
  f->aveCharWidth = font.width > 0 ? font.width : std::max(1, Round(avg * xppem / upem));
  f->maxCharWidth = std::max(1, Round((face->bbox.xMax - face->bbox.xMin) * xppem / upem));
  FT_Set_Char_Size(face, FT_F26Dot6(std::lround(xppem * 64)), FT_F26Dot6(std::lround(ppem * 64)),
                   72, 72);
  // The face's own table says at which sizes it is to be smoothed; below them Windows
  // draws it hinted and crisp, and so do we.
  FT_Int gasp = FT_Get_Gasp(face, FT_UInt(std::lround(ppem)));
  f->mono = gasp != FT_GASP_NO_TABLE && !(gasp & FT_GASP_DO_GRAY);
  bool fixed = FT_IS_FIXED_WIDTH(face);
  // TrueType, vector, and (in GDI's inverted sense) "variable pitch" unless fixed.
  f->pitchAndFamily = (font.pitchAndFamily & 0xF0) | 0x04 | 0x02 | (fixed ? 0 : 0x01);
  return f;
}

// Every face ever loaded, by what makes one different from another.
std::map<std::string, std::shared_ptr<FontFace>> &FaceCache() {
  static std::map<std::string, std::shared_ptr<FontFace>> cache;
  return cache;
}

// A reset of the layer starts a new program: the faces and glyphs of the last one go, or a
// test that makes fonts of many sizes, run after run, would gather them without end.
void ForgetFaces() {
  FaceCache().clear();
}
ResetHook g_forgetFaces(&ForgetFaces);

HFONT SystemFontHandle() {
  return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

FontFace &FaceOf(HFONT handle) {
  Font *font = As<Font>(handle);
  if (!font) font = As<Font>(SystemFontHandle());
  if (!font) {
    // Only when the handle table itself is full: still answer with something sane.
    static FontFace fallback = [] {
      FontFace f;
      SyntheticMetrics(f, 16);
      return f;
    }();
    return fallback;
  }
  if (!font->impl) {
    std::string key = font->face + '\n' + std::to_string(font->height) + '\n' +
                      std::to_string(font->width) + '\n' + std::to_string(font->weight) + '\n' +
                      (font->italic ? "i" : "r") + std::to_string(font->pitchAndFamily);
    auto &cache = FaceCache();
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, LoadFace(*font)).first;
    font->impl = it->second;
  }
  return *font->impl;
}

void Blend(uint32_t &dst, uint32_t src, unsigned a) {
  if (a >= 255) {
    dst = src;
    return;
  }
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int d = (dst >> shift) & 0xFF, s = (src >> shift) & 0xFF;
    int v = d + ((s - d) * int(a) + (s >= d ? 127 : -127)) / 255;
    out |= uint32_t(v) << shift;
  }
  dst = out;
}

}  // namespace

const Glyph &FontFace::GlyphFor(unsigned char c) {
  std::optional<Glyph> &slot = glyphs[c];
  if (slot) return *slot;
  slot.emplace();
  Glyph &g = *slot;
  if (!face) {
    g.advance = aveCharWidth;
    return g;
  }
  FT_UInt index = FT_Get_Char_Index(face, UnicodeOfAnsi(c));
  FT_Int32 load = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT);
  if (FT_Load_Glyph(face, index, load) != 0) return g;
  FT_GlyphSlot slotp = face->glyph;
  if (oblique) FT_GlyphSlot_Oblique(slotp);
  if (embolden) FT_GlyphSlot_Embolden(slotp);
  g.advance = int((slotp->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slotp, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap &bm = slotp->bitmap;
  bool bits = bm.pixel_mode == FT_PIXEL_MODE_MONO;
  if ((!bits && bm.pixel_mode != FT_PIXEL_MODE_GRAY) || bm.width == 0 || bm.rows == 0) return g;
  g.left = slotp->bitmap_left;
  g.top = slotp->bitmap_top;
  g.w = int(bm.width);
  g.h = int(bm.rows);
  g.coverage.resize(size_t(g.w) * g.h);
  int pitch = bm.pitch;
  for (int y = 0; y < g.h; ++y) {
    const unsigned char *row = pitch >= 0 ? bm.buffer + size_t(y) * pitch
                                          : bm.buffer + size_t(g.h - 1 - y) * size_t(-pitch);
    uint8_t *cov = g.coverage.data() + size_t(y) * g.w;
    if (bits) {
      for (int x = 0; x < g.w; ++x) cov[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
    } else {
      std::copy(row, row + g.w, cov);
    }
  }
  return g;
}

int DrawTextRun(Image &img, const RECT &clipIn, HFONT font, int x, int y, const char *text, int len,
                uint32_t pixel) {
  if (!text || len <= 0) return 0;
  FontFace &f = FaceOf(font);
  RECT clip = RectIntersect(clipIn, MakeRect(0, 0, img.w, img.h));
  int64_t pen = x;
  const int64_t baseline = int64_t(y) + f.ascent;
  for (int i = 0; i < len; ++i) {
    const Glyph &g = f.GlyphFor(static_cast<unsigned char>(text[i]));
    int64_t gx = pen + g.left, gy = baseline - g.top;
    pen += g.advance;
    if (g.coverage.empty() || gx >= clip.right || gy >= clip.bottom || gx + g.w <= clip.left ||
        gy + g.h <= clip.top) {
      continue;
    }
    int x0 = int(std::max<int64_t>(gx, clip.left)),
        x1 = int(std::min<int64_t>(gx + g.w, clip.right));
    int y0 = int(std::max<int64_t>(gy, clip.top)),
        y1 = int(std::min<int64_t>(gy + g.h, clip.bottom));
    for (int py = y0; py < y1; ++py) {
      const uint8_t *cov = g.coverage.data() + size_t(py - gy) * g.w + (x0 - gx);
      uint32_t *dst = img.Row(py);
      for (int px = x0; px < x1; ++px, ++cov) {
        if (*cov) Blend(dst[px], pixel, *cov);
      }
    }
  }
  Font *fo = As<Font>(font);
  if (fo && fo->underline) {
    int thickness = std::max(1, (f.ascent + f.descent) / 20);
    RECT u = MakeRect(x, int(std::min<int64_t>(baseline + 1, INT32_MAX - thickness)),
                      int(std::clamp<int64_t>(pen, INT32_MIN, INT32_MAX)), 0);
    u.bottom = u.top + thickness;
    FillImage(img, RectIntersect(u, clip), pixel);
  }
  return int(std::clamp<int64_t>(pen - x, INT32_MIN, INT32_MAX));
}

SIZE MeasureText(HFONT font, const char *text, int len) {
  FontFace &f = FaceOf(font);
  int64_t width = 0;
  for (int i = 0; text && i < len; ++i)
    width += f.GlyphFor(static_cast<unsigned char>(text[i])).advance;
  SIZE s;
  s.cx = LONG(std::min<int64_t>(width, INT32_MAX));
  s.cy = f.ascent + f.descent;
  return s;
}

int FontLineHeight(HFONT font) {
  FontFace &f = FaceOf(font);
  return f.ascent + f.descent;
}

void FontTextMetrics(HFONT font, TEXTMETRICA *tm) {
  if (!tm) return;
  FontFace &f = FaceOf(font);
  *tm = TEXTMETRICA{};
  tm->tmHeight = f.ascent + f.descent;
  tm->tmAscent = f.ascent;
  tm->tmDescent = f.descent;
  tm->tmInternalLeading = f.internalLeading;
  tm->tmExternalLeading = f.externalLeading;
  tm->tmAveCharWidth = f.aveCharWidth;
  tm->tmMaxCharWidth = f.maxCharWidth;
  tm->tmWeight = f.weight;
  tm->tmOverhang = 0;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x1E;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f.italic ? 0xFF : 0;
  Font *fo = As<Font>(font);
  tm->tmUnderlined = fo && fo->underline ? 0xFF : 0;
  tm->tmStruckOut = 0;
  tm->tmPitchAndFamily = BYTE(f.pitchAndFamily);
  tm->tmCharSet = ANSI_CHARSET;
}

}  // namespace zp
