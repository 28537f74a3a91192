#include "SceneAnalyzer/Block.h"

bool compareBlockPointers(const Block* a, const Block* b) { return *a < *b; }

std::ostream& operator<<(std::ostream& out, const Block& block) {
    out << block.left << ' ' << block.right << ' ' << block.leftDepth << ' ' << block.rightDepth << ' '
        << block.leftPixel << ' ' << block.rightPixel << ' ' << (block.count() > 0 ? block.firstRow() : 0) << ' '
        << (block.count() > 0 ? block.lastRow() : 0) << ' ' << block.front << ' ' << block.rear << ' ' << block.area
        << ' ' << block.center[0] << ' ' << block.center[1] << '\n';
    for (const Couple* c = block.couples(); c != block.couplesEnd(); ++c) {
        out << c->row << ' ' << c->startCol << ' ' << c->endCol << '\n';
    }
    return out;
}
