// The 16-bit PGM and PNG depth images that the synthetic camera plays, and
// the scene renderer's own PGM reader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "SceneRenderer/ImageWriter.h"
#include "SyntheticCamera/DepthImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = vela_fuzz::WriteScratchFile("depth.img", data, size);
    std::string error;
    int width = 0;
    int height = 0;
    vela::synthetic::ReadDepthImageSize(path, width, height, error);
    vela::synthetic::CheckDepthImageFile(path, width, height, error);
    vela::synthetic::DepthImage image;
    vela::synthetic::ReadDepthImage(path, image, error);
    vela::synthetic::DecodeDepthImage(data, size, "depth.img", image, error);
    std::vector<uint16_t> pixels;
    vela::scene::ReadPgm(path, width, height, pixels, error);
    return 0;
}
