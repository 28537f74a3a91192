#pragma once

// Small helpers of the common algorithms: the device's shift/depth tables for
// callers that keep their own copies, and the box of a map's valid pixels.

#include "QuorLibrary/Math/Box2D.h"
#include "XnAdapter/XnNodes.h"

// Fills depthToShift and shiftToDepth with the depth device's own tables
// ("D2S", "S2D"). A null pointer is replaced by a new 16-byte aligned,
// zero-filled array the caller then owns (xnOSFreeAligned): depth-to-shift
// with max(stream maximum + 1, 10100) entries, shift-to-depth with
// MaxShift + 1. A non-null pointer must hold as many. Shifts above MaxShift
// in the device's table become 0. False, after a line on standard error,
// when a property cannot be read or MaxShift exceeds 16 bits; a table
// allocated here stays with the caller then too.
bool CopyShiftLookupTables(const xn::DepthGenerator& depth, unsigned short*& depthToShift,
                           unsigned short*& shiftToDepth);

// The inclusive box of the non-zero pixels of a row-major width x height
// image; (0, 0)-(0, 0) when there is none. Each row is searched only outside
// the columns found so far.
void NAFindImageBorders(int width, int height, const unsigned short* pixels, Box2D<int>& box);

namespace vela_shift_tables {

// Low 16 bits of the depth stream's maximum value; -1 when the node has no
// stream or the value cannot be read.
int StreamMaxDepth(const xn::DepthGenerator& depth);
// Entries a depth-to-shift table is given for a device table of `entries`.
int DepthTableCapacity(int entries);
// Zeroes the entries of a depth-to-shift table that name shifts beyond the
// device's shift table: such a shift would index past every per-shift table.
void ClearShiftsAboveMaximum(unsigned short* depthToShift, int count, unsigned int maxShift);

}  // namespace vela_shift_tables
