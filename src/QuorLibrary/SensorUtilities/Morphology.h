#pragma once

// Grey-level morphology on 16-bit images: dilation (maximum) and erosion
// (minimum) over a small fixed set of rectangular kernels, eight pixels per
// SSE2 step inside a window, and a plain box minimum filter for callers whose
// SSE setting is off.
//
// The SSE filters and their plain twins work on row-major signed 16-bit
// images whose row length is the width, and write whole 8-pixel blocks:
// in every row of the window, the pixels from the first column rounded down
// to a multiple of 8 up to the last column rounded up to the end of its block
// are written, those outside the window's columns with 0. A kernel position in
// a row outside the window is left out; one in a column outside the window
// counts as the neutral value (0 for dilation, 32767 for erosion), so pixels
// next to the window's side edges see that value.
//
// Kernels (width x height): 3x3, 4x3, 3x5, 4x5, 5x5, 6x5. Even widths reach
// one column further to the left than to the right (4: -2..+1, 6: -3..+2).
// Any other size, a width that is not a multiple of 8, an empty row range and
// a destination that overlaps the source leave the destination unchanged.
// The window is clipped to the image first.

#include <emmintrin.h>

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"

class Morphology {
public:
    // Window: first and last column, first and last row, inclusive. The
    // source and destination should start on 16-byte boundaries for speed;
    // any address works.
    static void DilateSSE(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                          int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight);
    static void ErodeSSE(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                         int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight);

    // Scalar twins of the SSE filters: the same pixels, the same values.
    static void DilatePlain(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                            int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight);
    static void ErodePlain(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                           int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight);

    // Shifts the eight 16-bit lanes by n lanes towards the higher lanes (or
    // the lower ones), filling with zero lanes; n outside 1..7 changes nothing.
    static void PrepareVectorMask(__m128i* pMask, int n, bool towardsHigherLanes);

    // Box minimum over unsigned values, clipped to the window; not a twin of
    // ErodeSSE (no neutral value, no block writing). Both boxes use x for
    // rows and y for columns: the kernel's x range holds row offsets and its y
    // range column offsets; the window's x range holds its first and last row
    // and its y range its first and last column. An empty neighbourhood gives
    // the type's largest value. The destination takes the source's size
    // (reallocated only when too small); pixels outside the window are not
    // written. The window is clipped to the image; the destination may be the
    // source.
    template <typename T>
    static void MinFilter(const Box2D<int>& kernel, const Array2D<T>& source, const Box2D<int>& window,
                          Array2D<T>& destination);

private:
    // Work storage that none of the filters needs at present; released with
    // the object.
    Array<short> m_buffer;
};
