#pragma once

// The command line of vela-evaluate.

#include <cstdint>
#include <string>
#include <vector>

namespace vela::evaluate {

struct HandStart {
    int frame = 0;   // after this frame of the scene is read (from 0)
    int person = 1;  // the person's id in the truth (scene order, from 1)
    int side = 1;    // scene::kLeft (0) or kRight (1)
};

struct EvaluationOptions {
    bool hands = false;
    int frames = 0;  // 0: the scene's count
    int width = 0, height = 0;  // 0: the scene's camera
    bool hasSeed = false;
    uint64_t seed = 0;
    std::string recording;  // an .oni made of the (single) scene
    std::vector<HandStart> starts;
    bool startAtGestures = false;
    std::vector<std::string> scenes;  // files, or "default"
};

// False with the reason in `error` for a bad command line.
bool ParseEvaluationOptions(const std::vector<std::string>& args, EvaluationOptions& options, std::string& error);

// "FRAME:PERSON:left|right", e.g. "30:1:right".
bool ParseHandStart(const std::string& text, HandStart& start);

}  // namespace vela::evaluate
