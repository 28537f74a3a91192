#pragma once

// Connected components of a small undirected graph given as an n x n matrix
// of booleans. Only the entries below the diagonal (column < row) are read;
// users fill the matrix symmetrically.

#include <vector>

#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/SensorUtilities/DisjointSet.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DenseGraph {
public:
    DenseGraph() = default;
    DenseGraph(const DenseGraph&) = delete;
    DenseGraph& operator=(const DenseGraph&) = delete;

    // Makes the adjacency n x n (storage only grows; a negative n counts as
    // 0) and sets every entry to value.
    void Initialize(XnInt32 n, bool value);

    // Entry (i, j) links node i with node j.
    Array2D<bool>& Adjacency() { return m_adjacency; }
    const Array2D<bool>& Adjacency() const { return m_adjacency; }
    bool& operator()(XnInt32 i, XnInt32 j) { return m_adjacency(i, j); }

    // labels[i] becomes the component of node i; components are numbered 0,
    // 1, 2 ... in the order of their smallest node. Returns the number of
    // components, or -1 (labels emptied) for more nodes than 16-bit labels
    // can number or when the set's memory cannot be had.
    XnInt32 ComputeConnectedComponents(std::vector<XnInt32>& labels);

private:
    Array2D<bool> m_adjacency;
    DisjointSet m_set;
};
