#pragma once

// Replacement of one 16-bit pixel value by another over an image or a window,
// as the morphology users need around their filters (marking left-out pixels
// with a large value before an erosion and clearing it afterwards).
//
// The SSE forms and their plain twins work on whole 8-pixel blocks: the area
// is the whole image or, with a window, its rows and in each of them the
// blocks from the window's first column rounded down to a multiple of 8 up
// to its last column rounded up to the end of its block. A destination equal
// to the source changes the matching pixels in place; any other destination
// receives a copy of the whole area with the replacement applied. A width
// that is not a multiple of 8 changes nothing.
//
// Windows use x for columns and y for rows, inclusive, and are clipped to the
// image; null means the whole image.

#include <cstdint>

#include "QuorLibrary/Math/Box2D.h"

// Every pixel equal to 0 becomes value.
void ReplaceZeroWithValueSSE(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                             const Box2D<int>* pWindow);
void ReplaceZeroWithValuePlain(const short* pSource, short* pDestination, uint32_t width, uint32_t height,
                               short value, const Box2D<int>* pWindow);

// Every pixel equal to value becomes 0.
void ReplaceValueWithZeroSSE(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                             const Box2D<int>* pWindow);
void ReplaceValueWithZeroPlain(const short* pSource, short* pDestination, uint32_t width, uint32_t height,
                               short value, const Box2D<int>* pWindow);

// Not block-based and not a copy: over exactly the window (or the whole
// image), writes 0 into the destination wherever the source equals value and
// leaves every other destination pixel as it was. Any width.
void ReplaceValueWithZero(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                          const Box2D<int>* pWindow);
