// Resources: the .res file that windres makes of the program's .rc, embedded in the
// program between zant_res_begin and zant_res_end, read in place at run time.
//
// A .res file is a run of entries, each starting on a 4-byte boundary:
//   DWORD DataSize, DWORD HeaderSize, TYPE, NAME, (padding to 4), DWORD DataVersion,
//   WORD MemoryFlags, WORD LanguageId, DWORD Version, DWORD Characteristics,
//   then DataSize bytes of data at HeaderSize from the entry's start.
// TYPE and NAME are either 0xFFFF followed by a 16-bit number, or a zero-terminated
// UTF-16 string. Every read below is checked against the end of the file.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "backend.h"
#include "internal.h"

// Programs without resources do not define these; their address is then null.
extern "C" {
extern const uint8_t zant_res_begin[] __attribute__((weak));
extern const uint8_t zant_res_end[] __attribute__((weak));
}

namespace zp {
namespace {

constexpr int kMaxImageSide = 32767;
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;

uint16_t Read16(const uint8_t *p) {
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Read32(const uint8_t *p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t ReadI32(const uint8_t *p) {
  return int32_t(Read32(p));
}

// A type or name as the caller gives it: a number, or a string ("#12" is the number 12).
struct Id {
  bool isNumber = false;
  uint16_t number = 0;
  const char *text = nullptr;
};

Id IdFrom(const char *s) {
  Id id;
  if (IS_INTRESOURCE(s)) {
    id.isNumber = true;
    id.number = uint16_t(reinterpret_cast<uintptr_t>(s));
    return id;
  }
  if (s[0] == '#' && s[1] != 0) {
    uint32_t n = 0;
    const char *p = s + 1;
    while (*p >= '0' && *p <= '9' && n <= 0xFFFF) n = n * 10 + uint32_t(*p++ - '0');
    if (*p == 0 && n <= 0xFFFF) {
      id.isNumber = true;
      id.number = uint16_t(n);
      return id;
    }
  }
  id.text = s;
  return id;
}

// Matches the TYPE or NAME field at p (within [p, end)) against id, and moves p past it.
// Returns false in `ok` when the field runs past the end.
bool MatchField(const uint8_t *&p, const uint8_t *end, const Id &id, bool &ok) {
  if (end - p < 2) return ok = false;
  if (Read16(p) == 0xFFFF) {
    if (end - p < 4) return ok = false;
    uint16_t n = Read16(p + 2);
    p += 4;
    return id.isNumber && n == id.number;
  }
  // A string: compared letter by letter without regard to ASCII case.
  bool same = !id.isNumber;
  size_t i = 0;
  for (;;) {
    if (end - p < 2) return ok = false;
    uint16_t ch = Read16(p);
    p += 2;
    if (ch == 0) break;
    if (!same) continue;
    unsigned char want = static_cast<unsigned char>(id.text[i]);
    bool equal = want != 0 && (ch < 0x80 ? std::tolower(ch) == std::tolower(want) : ch == want);
    if (equal) {
      ++i;
    } else {
      same = false;
    }
  }
  return same && id.text[i] == 0;
}

// A DIB (header and bits) as an image. An icon's DIB has the height of its two masks
// together and a 1-bit AND mask after its colour bits; `alpha` then receives the
// transparency.
bool DecodeDibImpl(const uint8_t *data, size_t size, Image &out, bool icon,
                   std::vector<uint8_t> *alpha) {
  if (!data || size < 12) return false;
  uint32_t headerSize = Read32(data);
  int64_t width, height;
  int bits;
  uint32_t compression = 0, colorsUsed = 0;
  size_t paletteEntry = 4;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    width = Read16(data + 4);
    height = int16_t(Read16(data + 6));
    bits = Read16(data + 10);
    paletteEntry = 3;
  } else if (headerSize >= 40 && headerSize <= size) {
    width = ReadI32(data + 4);
    height = ReadI32(data + 8);
    bits = Read16(data + 14);
    compression = Read32(data + 16);
    colorsUsed = Read32(data + 32);
  } else {
    return false;
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (icon) height /= 2;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      width * height > kMaxImagePixels) {
    return false;
  }
  // BI_RGB, or BI_BITFIELDS with the usual masks for 16 and 32 bits.
  uint32_t masks[3] = {0, 0, 0};
  size_t offset = headerSize;
  if (compression == 3 && (bits == 16 || bits == 32)) {
    // The masks follow a plain header, and are part of the longer ones.
    if (headerSize == 40) {
      if (size < 52) return false;
      offset += 12;
    } else if (headerSize < 52) {
      return false;
    }
    for (int i = 0; i < 3; ++i) masks[i] = Read32(data + 40 + 4 * i);
  } else if (compression != 0) {
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;

  // The colour table of a palette image.
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    size_t count = colorsUsed ? std::min<size_t>(colorsUsed, size_t(1) << bits) : size_t(1) << bits;
    if (headerSize != 12 && colorsUsed > (1u << bits)) count = size_t(1) << bits;
    if (offset + count * paletteEntry > size) return false;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t *e = data + offset + i * paletteEntry;
      palette.push_back((uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0]);
    }
    // The table the header promised (colorsUsed) may be longer than the part read.
    offset += (headerSize != 12 && colorsUsed ? colorsUsed : count) * paletteEntry;
    palette.resize(size_t(1) << bits, 0);
  } else if (headerSize != 12) {
    offset += size_t(colorsUsed) * 4;  // a colour table for display hints only: skipped
  }

  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
  if (offset > size || stride * size_t(height) > size - offset) return false;
  const uint8_t *pixels = data + offset;
  const uint8_t *mask = nullptr;
  if (icon) {
    size_t maskOffset = offset + stride * size_t(height);
    if (maskStride * size_t(height) <= size - maskOffset) mask = data + maskOffset;
  }

  // Decodes the masks of BI_BITFIELDS into shift and width.
  auto channel = [&](uint32_t v, uint32_t m) -> uint32_t {
    if (!m) return 0;
    int shift = 0;
    while (!((m >> shift) & 1)) ++shift;
    uint32_t max = m >> shift;
    return ((v & m) >> shift) * 255 / max;
  };
  if (bits == 16 && compression != 3) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  }

  try {
    out.Resize(int(width), int(height));
    if (alpha) alpha->assign(size_t(width) * size_t(height), 255);
  } catch (const std::bad_alloc &) {
    return false;
  }
  bool anyAlpha = false;
  for (int64_t row = 0; row < height; ++row) {
    const int64_t y = topDown ? row : height - 1 - row;
    const uint8_t *src = pixels + stride * size_t(row);
    uint32_t *dst = out.Row(int(y));
    for (int64_t x = 0; x < width; ++x) {
      uint32_t px = 0;
      switch (bits) {
        case 1:
          px = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
          break;
        case 4:
          px = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
          break;
        case 8:
          px = palette[src[x]];
          break;
        case 16: {
          uint32_t v = Read16(src + 2 * x);
          px = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) | channel(v, masks[2]);
          break;
        }
        case 24: {
          const uint8_t *p = src + 3 * x;
          px = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
          break;
        }
        case 32: {
          uint32_t v = Read32(src + 4 * x);
          if (compression == 3) {
            px = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) | channel(v, masks[2]);
          } else {
            px = v & 0xFFFFFF;
          }
          if (alpha) {
            (*alpha)[size_t(y) * size_t(width) + size_t(x)] = uint8_t(v >> 24);
            anyAlpha = anyAlpha || (v >> 24) != 0;
          }
          break;
        }
      }
      dst[x] = px;
    }
  }
  if (alpha) {
    // A 32-bit icon carries its own transparency; any other uses the AND mask (1 = clear).
    if (!anyAlpha) {
      std::fill(alpha->begin(), alpha->end(), uint8_t(255));
      if (mask) {
        for (int64_t row = 0; row < height; ++row) {
          const int64_t y = topDown ? row : height - 1 - row;
          const uint8_t *m = mask + maskStride * size_t(row);
          for (int64_t x = 0; x < width; ++x) {
            if ((m[x >> 3] >> (7 - (x & 7))) & 1)
              (*alpha)[size_t(y) * size_t(width) + size_t(x)] = 0;
          }
        }
      }
    }
    if (std::all_of(alpha->begin(), alpha->end(), [](uint8_t a) { return a == 255; })) {
      alpha->clear();
    }
  }
  return true;
}

// Stretches a bitmap to the size LoadImageA was asked for (nearest pixel).
void Resample(Image &img, int w, int h) {
  if (w <= 0) w = img.w;
  if (h <= 0) h = img.h;
  if ((img.w == w && img.h == h) || w > kMaxImageSide || h > kMaxImageSide ||
      int64_t(w) * h > kMaxImagePixels) {
    return;
  }
  Image out(w, h);
  for (int y = 0; y < h; ++y) {
    const uint32_t *src = img.Row(int(int64_t(y) * img.h / h));
    for (int x = 0; x < w; ++x) out.Row(y)[x] = src[int64_t(x) * img.w / w];
  }
  img = std::move(out);
}

// Whether `r` lies in the resources embedded in the program (read-only, in the program's
// file), not in an image a test put in their place.
bool IsEmbedded(const ResourceData &r) {
  const auto at = uintptr_t(r.data), begin = uintptr_t(zant_res_begin);
  return begin && at >= begin && at + r.size <= uintptr_t(zant_res_end);
}

HBITMAP LoadBitmapResource(const char *name, int cx, int cy) {
  if (!name) return nullptr;
  ResourceData r = FindResourceData(RT_BITMAP, name);
  if (!r.data) return nullptr;
  // A bitmap listed without its pixels is one the back end keeps (PicturesElsewhere).
  Image picture;
  bool elsewhere = r.size == 0 && !IS_INTRESOURCE(name);
  if (elsewhere && !Backend().LoadPicture(name, picture)) return nullptr;
  if (ShouldFail(FailPoint::CreateBitmap, IS_INTRESOURCE(name) ? nullptr : name)) return nullptr;
  auto b = std::make_unique<Bitmap>();
  if (elsewhere) {
    b->img = std::move(picture);
  } else if (!DecodeDib(r.data, r.size, b->img)) {
    return nullptr;
  } else if (IsEmbedded(r)) {
    // The bitmap has its own copy of the pixels now; the program's file keeps the others.
    Backend().ReleaseReadOnly(r.data, r.size);
  }
  int w = b->img.w, h = b->img.h;
  Resample(b->img, cx, cy);
  // The strings the picture shows, at their places (not at another size).
  if (b->img.w == w && b->img.h == h) DescribeTexts(name, b->texts);
  return static_cast<HBITMAP>(NewHandle(Kind::Bitmap, std::move(b)));
}

}  // namespace

namespace {

// Calls visit(the entry's type and name fields, the end of its header, its data) for each
// entry of a .res image, until visit answers true.
template <class Visit>
void WalkEntries(const uint8_t *res, size_t resSize, Visit visit) {
  size_t off = 0;
  while (res && off < resSize && resSize - off >= 8) {
    const uint8_t *entry = res + off;
    uint32_t dataSize = Read32(entry);
    uint32_t headerSize = Read32(entry + 4);
    if (headerSize < 16 || headerSize > resSize - off || dataSize > resSize - off - headerSize) {
      return;  // a damaged file: nothing past this point can be trusted
    }
    if (visit(entry + 8, entry + headerSize, ResourceData{entry + headerSize, dataSize})) return;
    size_t next = off + size_t(headerSize) + dataSize;
    next = (next + 3) & ~size_t(3);
    if (next <= off) return;
    off = next;
  }
}

}  // namespace

ResourceData FindResourceIn(const uint8_t *res, size_t resSize, const char *type,
                            const char *name) {
  if (!res || !type || !name) return {};
  Id typeId = IdFrom(type), nameId = IdFrom(name);
  ResourceData found;
  WalkEntries(res, resSize, [&](const uint8_t *p, const uint8_t *headerEnd, ResourceData data) {
    bool ok = true;
    bool typeMatches = MatchField(p, headerEnd, typeId, ok);
    bool nameMatches = ok && MatchField(p, headerEnd, nameId, ok);
    if (ok && typeMatches && nameMatches) found = data;
    return found.data != nullptr;
  });
  return found;
}

// A .res image a test put in place of the embedded one.
static ResourceData g_resourceImage;
static void ForgetResourceImage() {
  g_resourceImage = {};
}
static ResetHook g_forgetResourceImage(&ForgetResourceImage);

void SetResourceImage(const uint8_t *res, size_t size) {
  g_resourceImage = {res, res ? size : 0};
}

// The program's resources: the image a test put in place, or the embedded one.
static ResourceData ProgramResources() {
  if (g_resourceImage.data) return g_resourceImage;
  const uint8_t *begin = zant_res_begin;
  const uint8_t *end = zant_res_end;
  if (!begin || !end || end <= begin) return {};
  return {begin, size_t(end - begin)};
}

ResourceData FindResourceData(const char *type, const char *name) {
  ResourceData all = ProgramResources();
  return FindResourceIn(all.data, all.size, type, name);
}

std::vector<std::string> PicturesElsewhere() {
  ResourceData all = ProgramResources();
  std::vector<std::string> names;
  const Id bitmap = IdFrom(RT_BITMAP);
  WalkEntries(all.data, all.size,
              [&](const uint8_t *p, const uint8_t *headerEnd, ResourceData data) {
                bool ok = true;
                if (!MatchField(p, headerEnd, bitmap, ok) || !ok || data.size != 0 ||
                    headerEnd - p < 2 || Read16(p) == 0xFFFF) {
                  return false;
                }
                std::string name;
                for (; headerEnd - p >= 2 && Read16(p) != 0; p += 2) {
                  name += Read16(p) < 0x80 ? char(Read16(p)) : '?';
                }
                names.push_back(name);
                return false;
              });
  return names;
}

bool DecodeDib(const uint8_t *data, size_t size, Image &out) {
  return DecodeDibImpl(data, size, out, false, nullptr);
}

HICON LoadResourceIcon(const char *name) {
  if (!name) return nullptr;
  // The group lists the sizes; take the one nearest 32x32, the most colours on a tie.
  ResourceData group = FindResourceData(RT_GROUP_ICON, name);
  if (!group.data || group.size < 6) return nullptr;
  uint16_t count = Read16(group.data + 4);
  int bestId = -1;
  int64_t bestScore = INT64_MAX;
  for (uint16_t i = 0; i < count; ++i) {
    size_t at = 6 + size_t(i) * 14;
    if (at + 14 > group.size) break;
    const uint8_t *e = group.data + at;
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    int bitCount = Read16(e + 6);
    int64_t score = int64_t(std::abs(w - 32) + std::abs(h - 32)) * 64 - bitCount;
    if (score < bestScore) {
      bestScore = score;
      bestId = Read16(e + 12);
    }
  }
  if (bestId < 0) return nullptr;
  ResourceData image = FindResourceData(RT_ICON, MAKEINTRESOURCEA(bestId));
  if (!image.data) return nullptr;
  auto icon = std::make_unique<Icon>();
  if (!DecodeDibImpl(image.data, image.size, icon->img, true, &icon->alpha)) return nullptr;
  return static_cast<HICON>(NewHandle(Kind::Icon, std::move(icon)));
}

}  // namespace zp

using namespace zp;

extern "C" {

HBITMAP WINAPI LoadBitmapA(HINSTANCE, LPCSTR lpBitmapName) {
  return LoadBitmapResource(lpBitmapName, 0, 0);
}

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  constexpr UINT kLoadFromFile = 0x0010;
  if (fuLoad & kLoadFromFile) return nullptr;  // only the program's own resources
  switch (type) {
    case IMAGE_BITMAP:
      return LoadBitmapResource(name, cx, cy);
    case IMAGE_ICON:
      return LoadResourceIcon(name);
    default:
      return nullptr;
  }
}

// A system icon (no instance, an IDI_ number) is one shared object per number; anything
// else comes from the resources.
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  if (!lpIconName) return nullptr;
  if (!hInstance) {
    if (!IS_INTRESOURCE(lpIconName)) return nullptr;
    int id = int(reinterpret_cast<uintptr_t>(lpIconName));
    if (id < 32512 || id > 32516) return nullptr;
    for (void *h : HandlesOf(Kind::Icon)) {
      if (Icon *icon = As<Icon>(h); icon && icon->systemId == id) return static_cast<HICON>(h);
    }
    auto icon = std::make_unique<Icon>();
    icon->systemId = id;
    return static_cast<HICON>(NewHandle(Kind::Icon, std::move(icon)));
  }
  return LoadResourceIcon(lpIconName);
}

}  // extern "C"
