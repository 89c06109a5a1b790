// The software GDI: the POSIX stand-in of the Windows GDI calls this code makes (the renderer
// that calls them is src/gdi/): device contexts, 32-bit bitmaps, solid brushes, DIB upload and
// read-back, DIB sections, BitBlt/StretchBlt with SRCCOPY, SRCAND and SRCPAINT.
// Included only through platform/win32.h.
//
// Pixels are 32-bit BGRX words (blue in the lowest byte, as a 32-bit DIB), rows top-down (a DIB
// section keeps the row order of its DIB).
// A memory DC draws into the bitmap selected in it; a window DC draws into the window's
// TavorinWindowSurface (see window_surface.h) under the surface's lock, re-reading its size each
// call, and increments the surface's generation after every drawing call.
//
// Handles are registry keys, never addresses: every call validates them, and a null, stale
// (deleted) or wrong-kind handle answers the call's failure value instead of being dereferenced.
// All calls may be made from any thread. Object bookkeeping is guarded by one registry mutex
// held only for look-ups; pixel work runs under per-bitmap locks (and the window surface's lock),
// taken in address order so two blits in opposite directions cannot deadlock. A bitmap deleted
// on one thread while another thread blits from it stays alive until that blit ends.
#pragma once
#ifdef _WIN32
#error "posix/software_gdi.h is the POSIX platform layer; Windows uses <windows.h>"
#endif

#include "platform/posix/kernel.h"
#include "platform/posix/window_surface.h"

// --- handles ---------------------------------------------------------------------------------
// Distinct handle types, as a STRICT Windows build has them; the pointees are never defined.
struct HDC__;
struct HBITMAP__;
struct HBRUSH__;
typedef HDC__* HDC;
typedef HBITMAP__* HBITMAP;
typedef HBRUSH__* HBRUSH;
typedef void* HGDIOBJ;
typedef TavorinWindowSurface* HWND;

typedef DWORD COLORREF;  // 0x00BBGGRR
#define RGB(r, g, b) \
  ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define CLR_INVALID 0xFFFFFFFF

#define GDI_ERROR 0xFFFFFFFFL
#define HGDI_ERROR ((HANDLE)-1)

struct RECT {
  LONG left;
  LONG top;
  LONG right;   // exclusive
  LONG bottom;  // exclusive
};

struct POINT {
  LONG x;
  LONG y;
};

// --- DIB description -------------------------------------------------------------------------
#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// --- raster operations and stretch modes -------------------------------------------------------
#define SRCCOPY 0x00CC0020
#define SRCAND 0x008800C6
#define SRCPAINT 0x00EE0086

#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4

// --- stock objects ---------------------------------------------------------------------------
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4

// --- device contexts -------------------------------------------------------------------------
// A DC drawing into the window's surface; null window gives a screen DC that has no pixels
// (drawing into it succeeds and changes nothing) and serves as the "compatible" reference for
// memory DCs and bitmaps, as the screen does on Windows. Null for a handle that is not a live
// window surface (wrong magic). The engine keeps the surface alive until every DC of it is
// released; only its size and pixels may change meanwhile (under its lock).
HDC GetDC(HWND window);
// Frees a DC from GetDC. Answers 1 when dc was a DC of that window, 0 otherwise.
int ReleaseDC(HWND window, HDC dc);
namespace platform_testing {
// Test seam: the DCs of window taken with GetDC and not released yet.
int windowDCCount(HWND window);
}  // namespace platform_testing
// A memory DC with the stock 1x1 bitmap, stock white brush and BLACKONWHITE selected.
// reference may be null (the screen); null if it is given but not a live DC.
HDC CreateCompatibleDC(HDC reference);
// Deletes a memory DC; its selected bitmap becomes free to select elsewhere or delete.
// FALSE for a bad handle and for a window DC (those are freed with ReleaseDC).
BOOL DeleteDC(HDC dc);

// --- objects ---------------------------------------------------------------------------------
// A 32-bit width x height bitmap, black (Windows leaves it undefined). A width or height of 0
// or less, sides over 32767 or more than 2^28 pixels (what the scaler's 16.16 coordinates can
// address), or a bad dc, give null. The pixel memory is taken when the bitmap is first drawn
// into or read; a call that then cannot have it answers its failure value.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A DIB section: a bitmap whose pixels live in memory the caller reads and writes directly,
// for a 32-bit BI_RGB DIB (DIB_RGB_COLORS) of biWidth x |biHeight|. *bits receives the memory:
// the DIB's rows, each biWidth * 4 bytes, the bottom row first when biHeight is positive and
// the top row first when it is negative; the pixels start black. The memory is the bitmap's
// until DeleteObject, and what is written there is what drawing from the bitmap reads (and
// drawing into it shows there at once: this GDI never batches, see GdiFlush). The memory
// always comes from the system here: section must be null and offset 0. dc may be null. The
// sizes CreateCompatibleBitmap refuses, other formats and usages, and a bad dc give null, with
// *bits null.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Finishes the calling thread's drawing calls that are still batched, so that a DIB section's
// memory may be touched. Every call of this GDI is done when it returns: there is never a
// batch, and the answer is always TRUE.
BOOL GdiFlush();
HBRUSH CreateSolidBrush(COLORREF colour);
// WHITE_BRUSH or BLACK_BRUSH; null for others.
HGDIOBJ GetStockObject(int which);
// Selects a bitmap (memory DCs only) or a brush into dc and answers the displaced object of
// that kind. Null when dc or object is bad, when a bitmap goes to a window DC, or when the
// bitmap is already selected in another DC.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a bitmap or brush. FALSE for a bad handle and for an object still selected in a DC
// (the object stays valid). Deleting a stock object answers TRUE and does nothing.
BOOL DeleteObject(HGDIOBJ object);

// --- DC state --------------------------------------------------------------------------------
// Answers the previous mode, 0 for a bad dc or a mode outside BLACKONWHITE..HALFTONE.
// HALFTONE averages the source pixels over each destination pixel when shrinking and
// interpolates bilinearly when enlarging; the other modes take the nearest source pixel.
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
// Stores the brush origin (solid brushes do not depend on it); previous may be null.
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);

// --- drawing ---------------------------------------------------------------------------------
// Fills [left, right) x [top, bottom), clipped to the DC's surface; never writes outside it. On
// an axis where the rect is inverted (right < left) the flipped run is filled, columns
// right + 1 to left (rows bottom + 1 to top), as GDI treats negative extents. An empty rect
// fills nothing and succeeds. Answers 0 on a bad dc or brush.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// Answers the colour set, or (COLORREF)-1 when the pixel is outside the surface or dc is bad.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
// Answers the pixel's colour, or CLR_INVALID when outside the surface or dc is bad.
COLORREF GetPixel(HDC dc, int x, int y);

// Copies |width| x |height| pixels; equivalent to StretchBlt with equal extents.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
// Scales the source rectangle onto the destination rectangle in the dest DC's stretch mode and
// combines it with the destination by rop (SRCCOPY, SRCAND or SRCPAINT, bit for bit on all 32
// bits; other rops answer FALSE). A negative extent covers [x + w + 1, x + 1) and mirrors that
// axis; negative on both source and destination of one axis is no mirror. Destination pixels
// whose source falls outside the source surface are left untouched; the destination is clipped
// to its surface. Source and destination may be the same surface (overlap is handled).
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop);

// --- DIBs ------------------------------------------------------------------------------------
// Copies scan lines of a 32-bit BI_RGB DIB into the bitmap; bits holds `lines` rows. start
// counts from the bottom of the DIB in both orientations: for a bottom-up DIB (positive
// biHeight) bits holds scan lines start .. start + lines - 1 from the bottom, and the answer is
// how many of them the DIB has; for a top-down one (negative biHeight) bits' rows are the DIB's
// rows |h| - start - lines .. |h| - start - 1 counted from the top, and the answer is `lines`.
// The DIB's top row lands on the bitmap's top row; rows and columns beyond the bitmap (or the
// DIB) are dropped. dc may be null. Answers 0 on failure (bad bitmap, other formats, usage
// other than DIB_RGB_COLORS).
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
// The reverse of SetDIBits (the same rows, the same answer), for 32-bit BI_RGB requests
// (biWidth x |biHeight| as given by the caller). With bits null, fills in info's header from the bitmap (32 bits, bottom-up) and
// answers nonzero. dc may be null. This is how tests read pixels, as on Windows.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
