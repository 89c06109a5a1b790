// Where channels go in the window, as fractions of it: a grid of tiles, and a picture fitted
// into its tile with its display aspect ratio kept, centred between black bars.
#pragma once

namespace play {

// Fractions of the window (left, top, right, bottom), as the output's channel rectangles.
struct Fractions {
  double left, top, right, bottom;
};

// Tile index of count in a near-square grid inside a black border of margin (a fraction of
// the window on every side); with more than one tile each is inset so black gutters part them.
Fractions gridTile(int index, int count, double margin);

// The largest rectangle of display aspect ratio aspect (width over height) inside tile,
// centred, for a window of windowWidth x windowHeight pixels. A non-positive aspect or window
// side gives the tile itself.
Fractions fitAspect(const Fractions& tile, double aspect, int windowWidth, int windowHeight);

// The columns and rows of the grid gridTile lays count tiles in.
void gridShape(int count, int* columns, int* rows);

}  // namespace play
