#include "QuorLibrary/Utilities/Serialization.h"

void WriteBinary(std::ostream& out, const std::string& text) {
    if (!vela_serialization::WriteCount(out, text.size())) {
        return;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void ReadBinary(std::istream& in, std::string& text) {
    // Read straight into the text: no shared buffer, and no allocation beyond
    // what the stream really holds.
    int32_t length = 0;
    if (!vela_serialization::ReadCount(in, length) ||
        !vela_serialization::ReadElements(in, text, static_cast<size_t>(length))) {
        text.clear();
        vela_serialization::MarkFailed(in);
        return;
    }
    const size_t end = text.find('\0');
    if (end != std::string::npos) {
        text.resize(end);
    }
}
