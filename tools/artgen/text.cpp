// Text for the pictures: Liberation Serif Bold Italic (the metric twin of Times New Roman
// Bold Italic, the face the game writes with), rasterised by FreeType.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

#include "art.h"

namespace art {

namespace {

FT_Library g_library = nullptr;
FT_Face g_face = nullptr;

constexpr const char *kFamily = "Liberation Serif";
constexpr const char *kDebianPath =
    "/usr/share/fonts/truetype/liberation2/LiberationSerif-BoldItalic.ttf";

// The file fontconfig knows for the face, or "" when it only offers a substitute.
std::string FindWithFontconfig() {
  std::string found;
  if (!FcInit()) return found;
  FcPattern *pattern =
      FcNameParse(reinterpret_cast<const FcChar8 *>("Liberation Serif:bold:italic"));
  if (!pattern) {
    FcFini();
    return found;
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern *match = FcFontMatch(nullptr, pattern, &result);
  if (match) {
    FcChar8 *family = nullptr, *file = nullptr;
    int slant = 0, weight = 0;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch &&
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch &&
        std::string(reinterpret_cast<char *>(family)) == kFamily && slant == FC_SLANT_ITALIC &&
        weight == FC_WEIGHT_BOLD)
      found = reinterpret_cast<char *>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcFini();  // fontconfig is needed only for this look-up
  return found;
}

}  // namespace

bool OpenFont(std::string &error) {
  if (FT_Init_FreeType(&g_library)) {
    error = "FreeType could not start";
    return false;
  }
  std::string path = FindWithFontconfig();
  if (path.empty()) path = kDebianPath;
  if (FT_New_Face(g_library, path.c_str(), 0, &g_face)) {
    error = "Liberation Serif Bold Italic not found (install fonts-liberation2)";
    return false;
  }
  return true;
}

void CloseFont() {
  if (g_face) FT_Done_Face(g_face);
  if (g_library) FT_Done_FreeType(g_library);
  g_face = nullptr;
  g_library = nullptr;
}

// Lays the glyphs out unhinted with their exact advances and kerning; each glyph is
// rasterised at its fractional pen position so the spacing stays true at small sizes.
TextMask RenderText(const std::string &text, double pixelSize) {
  FT_Set_Char_Size(g_face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64)), 72, 72);
  int size = static_cast<int>(pixelSize);
  int pad = size;
  int width = static_cast<int>(text.size()) * size + 2 * pad;
  int height = 2 * size + 2 * pad;
  TextMask out;
  out.mask = Mask(width, height);
  out.penX = pad;
  out.baseline = pad + size * 3 / 2;

  FT_Pos pen = 0;  // 26.6
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    FT_UInt glyph = FT_Get_Char_Index(g_face, ch);
    if (previous && glyph && FT_HAS_KERNING(g_face)) {
      FT_Vector k;
      FT_Get_Kerning(g_face, previous, glyph, FT_KERNING_UNFITTED, &k);
      pen += k.x;
    }
    FT_Vector delta = {pen & 63, 0};
    FT_Set_Transform(g_face, nullptr, &delta);
    if (FT_Load_Glyph(g_face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER)) continue;
    FT_GlyphSlot slot = g_face->glyph;
    const FT_Bitmap &bm = slot->bitmap;
    int gx = out.penX + static_cast<int>(pen >> 6) + slot->bitmap_left;
    int gy = out.baseline - slot->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        int x = gx + static_cast<int>(c), y = gy + static_cast<int>(r);
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        double v = bm.buffer[r * bm.pitch + c] / 255.0;
        double &dst = out.mask.At(x, y);
        dst = std::min(1.0, dst + v);
      }
    pen += slot->advance.x;
    previous = glyph;
  }
  FT_Set_Transform(g_face, nullptr, nullptr);

  out.inkLeft = width, out.inkTop = height, out.inkRight = 0, out.inkBottom = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (out.mask.At(x, y) > 0) {
        out.inkLeft = std::min(out.inkLeft, x);
        out.inkTop = std::min(out.inkTop, y);
        out.inkRight = std::max(out.inkRight, x + 1);
        out.inkBottom = std::max(out.inkBottom, y + 1);
      }
  return out;
}

}  // namespace art
