// The picture of the strategy: where the game's table and the exact optimum roll and hold,
// one panel per opponent score, drawn through the layer's GDI and written as a PNG.
#ifndef ZANTPIG_LAB_PICTURE_H
#define ZANTPIG_LAB_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "exact.h"

namespace lab {

// The colours of the cells, as 0x00RRGGBB.
constexpr uint32_t kRollColour = 0x9ECAE1;        // both roll
constexpr uint32_t kHoldColour = 0xFDEBC8;        // both hold
constexpr uint32_t kTableRollsColour = 0xD7301F;  // the table rolls where the optimum holds
constexpr uint32_t kTableHoldsColour = 0x6A1B9A;  // the table holds where the optimum rolls
constexpr uint32_t kWonColour = 0xE4E4E4;         // no state: the turn total has reached 100

// Where everything goes in a picture of a given size.
struct PictureLayout {
  int width = 0, height = 0;
  std::vector<int> opponents;  // the opponent's score of each panel
  std::vector<RECT> plots;     // each panel's plotting area: own score across, turn total up
  // The pixels of state (own score i, turn total k) in panel p.
  RECT Cell(size_t p, int i, int k) const;
};

// The layout, or an empty one (width 0) when the size is too small to be legible.
PictureLayout LayoutPicture(int width, int height);

// Draws the picture as 0x00RRGGBB pixels, row by row from the top. `table` is the game's
// best-action table.
std::vector<uint32_t> DrawPicture(const PictureLayout &layout, const unsigned char *table,
                                  const Optimum &optimum);

// Writes 0x00RRGGBB pixels as an 8-bit RGB PNG; false when the file cannot be written.
bool WritePng(const std::string &path, int width, int height, const std::vector<uint32_t> &pixels);

}  // namespace lab

#endif
