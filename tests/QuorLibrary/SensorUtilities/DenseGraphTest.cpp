#include "QuorLibrary/SensorUtilities/DenseGraph.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "ConnectedComponentTestSupport.h"

namespace {

TEST(DenseGraphTest, OnlyEntriesBelowTheDiagonalLink) {
    DenseGraph graph;
    std::vector<XnInt32> labels;

    graph.Initialize(4, false);
    graph(2, 0) = true;
    graph(0, 2) = true;
    EXPECT_EQ(3, graph.ComputeConnectedComponents(labels));
    EXPECT_EQ((std::vector<XnInt32>{0, 1, 0, 2}), labels);

    graph.Initialize(4, false);
    graph(0, 2) = true;
    EXPECT_EQ(4, graph.ComputeConnectedComponents(labels));
    EXPECT_EQ((std::vector<XnInt32>{0, 1, 2, 3}), labels);
}

TEST(DenseGraphTest, EmptyAndFullGraphs) {
    DenseGraph graph;
    std::vector<XnInt32> labels = {5, 6};
    graph.Initialize(0, true);
    EXPECT_EQ(0, graph.ComputeConnectedComponents(labels));
    EXPECT_TRUE(labels.empty());

    graph.Initialize(-3, true);
    EXPECT_EQ(0, graph.ComputeConnectedComponents(labels));

    graph.Initialize(5, true);
    EXPECT_EQ(1, graph.ComputeConnectedComponents(labels));
    EXPECT_EQ((std::vector<XnInt32>(5, 0)), labels);
}

TEST(DenseGraphTest, InitializeResetsEveryEntryWhenTheGraphShrinksOrGrows) {
    DenseGraph graph;
    std::vector<XnInt32> labels;
    graph.Initialize(6, true);
    graph.Initialize(3, false);
    EXPECT_EQ(3, graph.ComputeConnectedComponents(labels));
    graph.Initialize(40, false);
    EXPECT_EQ(40, graph.ComputeConnectedComponents(labels));
    EXPECT_EQ(40u, labels.size());
}

// Components against a breadth-first search, numbered by smallest node.
TEST(DenseGraphTest, RandomGraphsMatchABreadthFirstSearch) {
    cc_test::Rng rng(7);
    DenseGraph graph;
    for (int trial = 0; trial < 50; ++trial) {
        const int n = rng.Uniform(1, 60);
        const int density = rng.Uniform(0, 8);
        graph.Initialize(n, false);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < i; ++j) {
                if (rng.Uniform(0, 99) < density) {
                    graph(i, j) = graph(j, i) = true;
                }
            }
        }
        std::vector<int> expected(n, -1);
        int components = 0;
        for (int s = 0; s < n; ++s) {
            if (expected[s] >= 0) {
                continue;
            }
            std::deque<int> queue{s};
            expected[s] = components;
            while (!queue.empty()) {
                const int a = queue.front();
                queue.pop_front();
                for (int b = 0; b < n; ++b) {
                    if (expected[b] < 0 && graph(a, b)) {
                        expected[b] = components;
                        queue.push_back(b);
                    }
                }
            }
            ++components;
        }
        std::vector<XnInt32> labels;
        EXPECT_EQ(components, graph.ComputeConnectedComponents(labels)) << trial;
        EXPECT_EQ(expected, labels) << trial;
    }
}

}  // namespace
