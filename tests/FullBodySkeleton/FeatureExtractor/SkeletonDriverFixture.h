#pragma once

// The multi-user skeleton driver on depth images of the test's own making:
// the images go to a temporary folder that the synthetic camera replays
// (unmirrored, the last image repeating), the hub is the one the user
// tracker would share, and the label map at the skeleton resolution is
// painted by the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"
#include "HandCameraSession.h"
#include "SceneRenderer/ImageWriter.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"
#include "XnAdapter/XnSceneMetaData.h"

namespace skeleton_test {

// width x height pixels of one depth (mm).
inline std::vector<uint16_t> Flat(int width, int height, uint16_t depth) {
    return std::vector<uint16_t>(static_cast<size_t>(width) * height, depth);
}

class SkeletonDriverFixture : public ::testing::Test {
protected:
    // The images, in order, as a camera of their size; the driver with
    // labels at labelLevel and the given FeatureExtraction.ini text.
    void Open(const std::vector<std::vector<uint16_t>>& images, int width, int height, Resolution labelLevel,
              const std::string& ini = "") {
        for (size_t i = 0; i < images.size(); ++i) {
            std::string error;
            ASSERT_TRUE(vela::scene::WritePgm16(m_dir.File("frame" + std::to_string(100 + i) + ".pgm"), width,
                                                height, images[i].data(), error))
                << error;
        }
        m_iniPath = m_dir.File("FeatureExtraction.ini");
        vela_test::WriteWholeFile(m_iniPath, ini);
        ASSERT_TRUE(m_session.OpenUri("synthetic://images?dir=" + vela::synthetic::EncodeUriValue(m_dir.Path()) +
                                      "&mirror=off"))
            << m_session.Error();
        ASSERT_TRUE(m_session.Next());
        ASSERT_TRUE(m_driver.Initialize(&m_session.Hub(), m_session.Node(), m_session.Depth(), labelLevel, nullptr,
                                        m_iniPath, m_dir.Path()));
        m_driver.ReadParameters();
        m_labels.AllocateData(g_nXRes[labelLevel], g_nYRes[labelLevel]);
        ClearLabels();
    }
    void TearDown() override { MultiUserFeatureExtractor::m_bSSE = true; }

    void ClearLabels() {
        std::fill(m_labels.WritableData(), m_labels.WritableData() + m_labels.XRes() * m_labels.YRes(), 0);
    }
    // Label of columns x0..x1, rows y0..y1 (inclusive).
    void Paint(int x0, int y0, int x1, int y1, XnLabel label) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                m_labels.WritableData()[y * m_labels.XRes() + x] = label;
            }
        }
    }
    // A stopped feature extractor for each id, as the user tracker makes
    // them.
    void Users(std::initializer_list<int> ids) {
        for (int id : ids) {
            m_driver.CreateFeatureExtractor(id)->SetMode(FeatureExtractor::MODE_STOPPED);
        }
    }
    // The camera's next frame through the driver with the painted labels.
    void Frame() {
        ASSERT_TRUE(m_session.Next());
        m_driver.Update(m_session.Node(), m_session.Depth(), m_labels);
    }
    const MultiResDepthMapContainer& Containers() const { return m_driver.GetContainers(); }

    // Declared first: the driver that uses the session's hub goes before it.
    hand_test_kit::CameraSession m_session;
    vela_test::TempDir m_dir;
    std::string m_iniPath;
    MultiUserFeatureExtractor m_driver;
    xn::SceneMetaData m_labels;
};

}  // namespace skeleton_test
