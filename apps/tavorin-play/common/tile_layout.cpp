#include "tile_layout.h"

#include <algorithm>
#include <cmath>

namespace play {

void gridShape(int count, int* columns, int* rows) {
  count = std::max(count, 1);
  *columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  *rows = (count + *columns - 1) / *columns;
}

Fractions gridTile(int index, int count, double margin) {
  int columns = 1, rows = 1;
  gridShape(count, &columns, &rows);
  double span = 1.0 - 2 * margin;
  double cellWidth = span / columns, cellHeight = span / rows;
  double left = margin + (index % columns) * cellWidth;
  double top = margin + (index / columns) * cellHeight;
  double inset = count > 1 ? 1.0 / 64 : 0.0;
  return Fractions{left + inset, top + inset, left + cellWidth - inset, top + cellHeight - inset};
}

Fractions fitAspect(const Fractions& tile, double aspect, int windowWidth, int windowHeight) {
  if (!(aspect > 0) || windowWidth <= 0 || windowHeight <= 0) return tile;
  double width = (tile.right - tile.left) * windowWidth, height = (tile.bottom - tile.top) * windowHeight;
  if (width <= 0 || height <= 0) return tile;
  double fittedWidth = std::min(width, height * aspect), fittedHeight = std::min(height, width / aspect);
  double sideBars = (width - fittedWidth) / 2 / windowWidth, topBars = (height - fittedHeight) / 2 / windowHeight;
  return Fractions{tile.left + sideBars, tile.top + topBars, tile.right - sideBars, tile.bottom - topBars};
}

}  // namespace play
