// The binary state serialisation: one snapshot routine with every kind of
// field a tracker stores, restored from the input through a seekable stream
// and through a forward-only stream. Both must agree: the snapshots read are
// written back and compared byte for byte.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "Snapshot.h"

namespace {

// The snapshot's bytes after reading it from in, and whether the stream
// held together.
std::string Restore(std::istream& in, bool& ok) {
    vela_fuzz::Snapshot snapshot;
    IStreamWrapper reader(in);
    snapshot.ReadOrWrite(reader);
    ok = static_cast<bool>(in);
    std::ostringstream out;
    OStreamWrapper writer(out);
    snapshot.ReadOrWrite(writer);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream seekable(std::string(reinterpret_cast<const char*>(data), size));
    vela_fuzz::ForwardOnlyStream forward(data, size);
    bool seekableOk = false;
    bool forwardOk = false;
    const std::string fromSeekable = Restore(seekable, seekableOk);
    const std::string fromForward = Restore(forward, forwardOk);
    if (seekableOk != forwardOk || fromSeekable != fromForward) {
        std::abort();
    }
    return 0;
}
