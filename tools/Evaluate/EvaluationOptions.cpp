#include "Evaluate/EvaluationOptions.h"

#include <cerrno>
#include <cstdlib>

namespace vela::evaluate {

namespace {

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 19) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

}  // namespace

bool ParseHandStart(const std::string& text, HandStart& start) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) return false;
    long long frame = 0, person = 0;
    if (!ParseInt(text.substr(0, first), 0, 10000000, frame) ||
        !ParseInt(text.substr(first + 1, second - first - 1), 1, 65535, person)) {
        return false;
    }
    const std::string side = text.substr(second + 1);
    if (side != "left" && side != "right") return false;
    start.frame = static_cast<int>(frame);
    start.person = static_cast<int>(person);
    start.side = side == "left" ? 0 : 1;
    return true;
}

bool ParseEvaluationOptions(const std::vector<std::string>& args, EvaluationOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        long long value = 0;
        if (arg == "--hands") {
            options.hands = true;
        } else if (arg == "--start-at-gestures") {
            options.startAtGestures = true;
        } else if (arg == "--frames" && hasValue) {
            if (!ParseInt(args[++i], 1, 10000000, value)) return error = "bad --frames " + args[i], false;
            options.frames = static_cast<int>(value);
        } else if (arg == "--resolution" && hasValue) {
            const std::string& text = args[++i];
            if (text == "320x240") options.width = 320, options.height = 240;
            else if (text == "640x480") options.width = 640, options.height = 480;
            else return error = "--resolution takes 320x240 or 640x480", false;
        } else if (arg == "--seed" && hasValue) {
            if (!ParseInt(args[++i], 0, 4294967295LL, value)) return error = "bad --seed " + args[i], false;
            options.hasSeed = true;
            options.seed = static_cast<uint64_t>(value);
        } else if (arg == "--recording" && hasValue) {
            options.recording = args[++i];
        } else if (arg == "--start-hand" && hasValue) {
            HandStart start;
            if (!ParseHandStart(args[++i], start)) return error = "bad --start-hand " + args[i], false;
            options.starts.push_back(start);
        } else if (!arg.empty() && arg[0] == '-') {
            return error = "unknown option " + arg, false;
        } else {
            options.scenes.push_back(arg);
        }
    }
    if (options.scenes.empty()) return error = "no scene", false;
    if (!options.recording.empty() && options.scenes.size() != 1) {
        return error = "a recording needs exactly the one scene it was made of", false;
    }
    if (!options.hands && (!options.starts.empty() || options.startAtGestures)) {
        return error = "--start-hand and --start-at-gestures need --hands", false;
    }
    return true;
}

}  // namespace vela::evaluate
