// Writes the seed corpus of every harness with the project's own writers:
//   vela-fuzz-seeds <fuzz/corpus folder>
// Existing seeds of the same names are replaced; other files are left alone.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "NACommon/BaseOutputDump.h"
#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/DataTable.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "RecordFileFormat.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"
#include "SceneAnalyzer/PointFile.h"
#include "SceneAnalyzer/SAConfigurationBinary.h"
#include "SceneAnalyzer/SAOutput.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/ImageWriter.h"
#include "SceneRenderer/SensorModel.h"
#include "Snapshot.h"

namespace {

namespace fs = std::filesystem;

std::string g_root;

std::string SeedPath(const std::string& harness, const std::string& name) {
    fs::create_directories(g_root + "/" + harness);
    return g_root + "/" + harness + "/seed-" + name;
}

void WriteSeed(const std::string& harness, const std::string& name, const std::string& bytes) {
    std::ofstream out(SeedPath(harness, name), std::ios::out | std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void CopySeed(const std::string& harness, const std::string& name, const std::string& source) {
    fs::copy_file(source, SeedPath(harness, name), fs::copy_options::overwrite_existing);
}

// The INI harnesses take the section and the key on two lines before the file.
void IniSeeds() {
    const std::string file =
        "; start-up settings\r\n[General]\r\nDataDir=./Vela2\r\n[Log]\r\nVerbosity=2 ; info\r\nLogToFile=1\r\n";
    WriteSeed("IniFile", "log", "Log\nVerbosity\n" + file);
    WriteSeed("IniFile", "missing-key", "General\nLogToConsole\n" + file);
    WriteSeed("IniFile", "repeated-section", "Log\nLogToFile\n[Log]\nA=1\n[Log]\nLogToFile=0\n");

    const std::string algorithms =
        "[ArmTracker]\nElbowStateHysteresisDeg=10.5\nUseElbow=TRUE\nOffset=1 -2 3.5\n"
        "Bounds=-100 100 -50 50 0 4000\nResolution=qvga\nICPType=free_twist\nName=left arm  \n"
        "Offset=4 5 6\n# comment\n[Other]\nValue=7\n";
    WriteSeed("IniCache", "float", "ArmTracker\nElbowStateHysteresisDeg\n" + algorithms);
    WriteSeed("IniCache", "vector", "ArmTracker\nOffset\n" + algorithms);
    WriteSeed("IniCache", "box", "ArmTracker\nBounds\n" + algorithms);
    WriteSeed("IniCache", "names", "ArmTracker\nICPType\n" + algorithms);

    // The hand trackers' section of HandAlgorithms.ini: the defaults, and
    // others that make the tracker lose the hand or step long.
    WriteSeed("HandTrackerSettings", "defaults",
              "[HandTracker]\nMaxIterations=5\nConvergenceDistanceThreshold=10\n"
              "LostTrackingRecoveryTimeLimit=1.0\nSearchBoundsSizeRW=-45 45 -45 45 -45 45\n"
              "CheckHandBoundary=1\nAdjustDepthBoundsByHistogram=0\n");
    WriteSeed("HandTrackerSettings", "tight",
              "[HandTracker]\nMaxIterations=40\nConvergenceDistanceThreshold=0\n"
              "LostTrackingRecoveryTimeLimit=0.01\nSearchBoundsSizeRW=-5 5 -5 5 -500 5\n");
    WriteSeed("HandTrackerSettings", "garbage", "[HandTracker]\nMaxIterations=x\nSearchBoundsSizeRW=1 2\n[Other]\n");
    WriteSeed("HandTrackerSettings", "checks-and-head",
              "[HandTracker]\nCheckHandBoundary=0\nCheckHeadDetector=1\nAdjustDepthBoundsByHistogram=1\n"
              "MuitipleTracking=1\n[HeadTracker]\nM_nMaxIterations=1000\nM_fDistanceThresholdRW=-1\n");

    // The hand detector's section: the shipped values, the isolation filter
    // on, join thresholds at the ends of the range, and one without the key
    // that the other depends on.
    WriteSeed("HandDetectorSettings", "defaults", "[HandDetector]\nMaxDistanceForCC=50\nUseDepthIsolationFilter=0\n");
    WriteSeed("HandDetectorSettings", "isolation", "[HandDetector]\nMaxDistanceForCC=80\nUseDepthIsolationFilter=1\n");
    WriteSeed("HandDetectorSettings", "thresholds", "[HandDetector]\nMaxDistanceForCC=4294967295\nUseDepthIsolationFilter=-7\n");
    WriteSeed("HandDetectorSettings", "no-threshold", "[HandDetector]\nUseDepthIsolationFilter=1\nMaxDistanceForCC=\n");

    // The gesture candidates' sections: the shipped values, extreme weights
    // and sizes, and keys without values.
    WriteSeed("FocusSettings", "defaults",
              "[FocusTracker]\nMaxIterations=5\nLostTrackingRecoveryTimeLimit=0.1\nConvergenceDistanceThreshold=10\n"
              "SearchBoundsSizeRW=-75 75 -75 75 -75 75\nMinHandArea=1500\nUseHistogramBasedHandCenter=1\n"
              "FactorY=1.0\nFactorZ=0.5\n[FocusRecognizer]\nResolution=QQVGA\nUseRobust=1\nEnableLogging=0\n"
              "MinFrameForMotionGesture=15\n"
              "MaxFrameForMotionGesture=60\nStdThresholdMotionGesture=80\n");
    WriteSeed("FocusSettings", "extremes",
              "[FocusTracker]\nFactorY=-1\nFactorZ=1e30\nMinHandArea=-5\nSearchBoundsSizeRW=0 0 0 0 -900 900\n"
              "[FocusRecognizer]\nResolution=vga\nUseRobust=0\nMinFrameForMotionGesture=0\nMaxFrameForMotionGesture=-1\n"
              "StdThresholdMotionGesture=-1\n");
    WriteSeed("FocusSettings", "empty",
              "[FocusTracker]\nFactorY=\nUseHistogramBasedHandCenter=\n[FocusRecognizer]\nResolution=\nUseRobust=\n");
    // The click, swipe and wave keys: the shipped values with both lengths,
    // and lengths, counts and bounds at the ends of their ranges.
    WriteSeed("FocusSettings", "strokes",
              "[FocusRecognizer]\nMaxAllowedSTDForLine=17\nMaxAllowedDeviationFromLine=50\nMaxAllowedAngleCos=0.85\n"
              "MinDistForBackwardsMovement=0\nMinThresholdOnVelocity=0.5\nGesturePointingLocation=0 0 0\n"
              "MovementLength=160\nWaveMinNumberOfFlips=4\nWaveMinLength=50\nWaveMaxDeviationFromMeanCycleLength=50\n");
    WriteSeed("FocusSettings", "stroke-extremes",
              "[FocusRecognizer]\nMaxAllowedSTDForLine=1e30\nMaxAllowedDeviationFromLine=-2147483648\n"
              "MaxAllowedAngleCos=-1\nMinDistForBackwardsMovement=2147483647\nMinThresholdOnVelocity=0\n"
              "GesturePointingLocation=0 0 1e30\nMovementLength=-2147483648\nWaveMinNumberOfFlips=2147483647\n"
              "WaveMinLength=-2147483648\nWaveMaxDeviationFromMeanCycleLength=-1\n");
}

template <typename T>
DataTable<T> SampleTable() {
    DataTable<T> table(0);
    table.SetColumns({"UserID", "Frame", "Time", "Head.Pos", "Head.Pos", "Head.Pos"});
    for (int row = 0; row < 3; ++row) {
        table.AddRow(true);
        table.SetValue(row, 0, T(1));
        table.SetValue(row, 1, T(row + 1));
        table.SetValue(row, 2, T(0.033) * T(row));
        table.SetValue(row, 3, Vector3D<T>(T(10.5), T(-20.25), T(2500)));
    }
    return table;
}

void DataTableSeeds() {
    for (bool binary : {false, true}) {
        std::ostringstream wide;
        std::ostringstream narrow;
        if (binary) {
            SampleTable<double>().WriteBinary(wide, 1 << 30);
            SampleTable<float>().WriteBinary(narrow, 1 << 30);
        } else {
            SampleTable<double>().WriteText(wide, "\t", 1 << 30);
            SampleTable<float>().WriteText(narrow, "\t", 1 << 30);
        }
        const char* harness = binary ? "DataTableBinary" : "DataTableText";
        WriteSeed(harness, "double", wide.str());
        WriteSeed(harness, "float", narrow.str());
    }
}

class SeedDump : public BaseOutputDump {
public:
    void AddColumns(std::vector<std::string>& names) const override {
        names.push_back(COL_USERID);
        names.push_back(COL_FRAME);
        names.push_back(COL_TIME);
        AddVectorColumn(names, COL_BOUNDS_MIN, 3);
        AddVectorColumn(names, COL_BOUNDS_MAX, 3);
        AddJointColumn(names, "Head", true, true);
        AddSymmetricJointColumn(names, "Hand", true, false);
    }
};

void JointTableSeeds() {
    SeedDump dump;
    dump.Initialize();
    const int frames[] = {1, 2, 5, 2, 7};
    const int users[] = {1, 1, 1, 2, 2};
    for (int i = 0; i < 5; ++i) {
        const int row = dump.AddRow(true);
        dump.SetValue(row, COL_USERID, static_cast<double>(users[i]));
        dump.SetValue(row, COL_FRAME, static_cast<double>(frames[i]));
        dump.SetValue(row, COL_TIME, 0.033 * frames[i]);
        dump.SetJointData(row, "Head", Vector3D<double>(1.0, 700.0, 2500.0), 1.0, 0.0);
    }
    dump.Write(SeedPath("JointTable", "text"), false);
    dump.Write(SeedPath("JointTable", "binary"), true);
}

void SnapshotSeeds() {
    vela_fuzz::Snapshot snapshot;
    std::ostringstream empty;
    OStreamWrapper emptyWriter(empty);
    snapshot.ReadOrWrite(emptyWriter);
    WriteSeed("Snapshot", "empty", empty.str());

    snapshot.m_nVersion = 3;
    snapshot.m_fScore = 0.75f;
    snapshot.m_bTracked = true;
    snapshot.m_mode = vela_fuzz::SnapshotMode::Tracking;
    snapshot.m_time = SensorTime(123456789);
    snapshot.m_position = Vector3D<float>(1.0f, 2.0f, 3.0f);
    snapshot.m_history = {1.0f, 2.0f, 3.0f};
    snapshot.m_name = "left arm";
    snapshot.m_transitions.SetSize(2, 3, false);
    for (int i = 0; i < 6; ++i) {
        snapshot.m_transitions.Data()[i] = 0.5f * static_cast<float>(i);
    }
    snapshot.m_candidates.resize(2);
    snapshot.m_candidates[1].m_samples = {4.0f};
    snapshot.m_pool.Push().m_nId = 9;
    std::ostringstream full;
    OStreamWrapper fullWriter(full);
    snapshot.ReadOrWrite(fullWriter);
    WriteSeed("Snapshot", "full", full.str());
}

// A record file as the recorder writes it, renamed to the seed's name.
void WriteRecordSeed(const std::string& name, int frames) {
    const std::string folder = g_root + "/RecordFile/";
    fs::create_directories(folder);
    {
        vela_fuzz::FuzzRecord record(AlgoOutput::MODE_WRITE);
        record.InitializeWriting(folder, "recordings/clip.oni", "seed");
        WriteBinary(record.File(), std::vector<float>{30.0f, 320.0f, 240.0f});
        record.FinalizeHeader();
        for (int frame = 1; frame <= frames; ++frame) {
            record.WriteFrame(frame * 2, std::vector<float>(static_cast<size_t>(frame), 0.5f), "user");
        }
    }
    fs::rename(folder + "clip.oni.seed.rec", SeedPath("RecordFile", name));
}

void RecordFileSeeds() {
    WriteRecordSeed("header-only", 0);
    WriteRecordSeed("frames", 3);
    // The older layout, which is only read: the marker, an 8-byte header,
    // then frames as before.
    std::ostringstream legacy;
    vela_serialization::WriteRaw(legacy, AlgoOutput::LEGACY_MARKER);
    WriteBinary(legacy, 320, 240);
    vela_serialization::WriteRaw(legacy, int32_t(1));
    std::ostringstream payload;
    WriteBinary(payload, std::vector<float>{1.0f});
    vela_serialization::WriteRaw(payload, int32_t(8));
    WriteBinary(payload, std::string("user"));
    vela_serialization::WriteRaw(legacy, static_cast<int32_t>(payload.str().size()));
    legacy << payload.str();
    WriteSeed("RecordFile", "legacy", legacy.str());
}

void ToolSeeds() {
    const std::string scenes = VELA_SCENE_EXAMPLES;
    for (const char* scene : {"standing", "gestures", "bvh_clip", "walk_in_out"}) {
        CopySeed("SceneFile", scene, scenes + "/" + scene + ".scene");
    }
    CopySeed("BvhClip", "arm_raise", scenes + "/arm_raise.bvh");

    const int width = 8;
    const int height = 6;
    std::vector<uint16_t> depth(static_cast<size_t>(width * height));
    for (size_t i = 0; i < depth.size(); ++i) {
        depth[i] = static_cast<uint16_t>(i % 5 == 0 ? 0 : 800 + 37 * i);
    }
    std::string error;
    vela::scene::WritePgm16(SeedPath("DepthImage", "pgm"), width, height, depth.data(), error);
    vela::scene::WritePngGray16(SeedPath("DepthImage", "png"), width, height, depth.data(), error);
}

// A stream's calibration as the synthetic camera serves it, in the layout of
// SensorCalibrationFuzzer.cpp: the header, then the two tables.
void WriteCalibrationSeed(const std::string& name, uint16_t maxDepth) {
    vela::scene::SensorParameters params;
    params.nDeviceMaxDepthValue = maxDepth;
    vela::scene::SensorModel sensor;
    std::string error;
    if (!sensor.Init(params, &error)) {
        std::fprintf(stderr, "calibration seed %s: %s\n", name.c_str(), error.c_str());
        std::exit(1);
    }
    std::string bytes;
    const auto put = [&bytes](const auto& value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof(value));
    };
    put(static_cast<uint64_t>(params.nZeroPlaneDistance));
    put(params.dZeroPlanePixelSize);
    put(params.dEmitterDCmosDistance);
    put(static_cast<uint64_t>(params.nDeviceMaxShiftValue));
    put(static_cast<uint64_t>(params.nConstShift));
    put(static_cast<uint64_t>(params.nParamCoeff));
    put(static_cast<uint64_t>(params.nShiftScale));
    put(static_cast<int32_t>(maxDepth));
    put(vela::scene::DepthCamera::kDefaultHorizontalFov);
    put(static_cast<float>(vela::scene::DepthCamera::VerticalFovFor(vela::scene::DepthCamera::kDefaultHorizontalFov)));
    for (const auto* table : {&sensor.ShiftToDepthTable(), &sensor.DepthToShiftTable()}) {
        bytes.append(reinterpret_cast<const char*>(table->data()), 2 * table->size());
    }
    WriteSeed("SensorCalibration", name, bytes);
}

void CalibrationSeeds() {
    WriteCalibrationSeed("default", 10000);
    WriteCalibrationSeed("near", 1500);
}

// The point harness takes the analyzer's resolution code on a line before
// the file, which the point file's own writer records.
void PointFileSeeds() {
    const fs::path dir = fs::temp_directory_path() / ("vela-point-seeds-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Seed {
        const char* name;
        PointFile::Resolution recorded;
        const char* analyzer;
        std::vector<std::vector<Vector2D<int> > > frames;
    };
    const Seed seeds[] = {
        {"seeds", PointFile::RES_320, "2", {{Vector2D<int>(100, 200)}, {}, {Vector2D<int>(310, 230)}}},
        {"outline", PointFile::RES_160, "2",
         {{Vector2D<int>(10, 100), Vector2D<int>(150, 100), Vector2D<int>(150, 119), Vector2D<int>(10, 119)},
          {Vector2D<int>(80, 60)}}},
        {"vga", PointFile::RES_640, "4", {{Vector2D<int>(639, 479)}, {Vector2D<int>(0, 0), Vector2D<int>(5, 5)}}},
    };
    for (const Seed& seed : seeds) {
        NACommonData hub;
        hub.m_strRecordingPath = (dir / seed.name).string();
        {
            PointFile file;
            file.Initialize(&hub, seed.recorded);
            for (size_t frame = 0; frame < seed.frames.size(); ++frame) {
                hub.m_nFrameID = static_cast<int32_t>(frame + 1);
                file.Update(&seed.frames[frame]);
            }
        }
        std::ifstream in(hub.m_strRecordingPath + ".point", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        WriteSeed("PointFile", seed.name, std::string(seed.analyzer) + "\n" + text.str());
    }
    fs::remove_all(dir);
}

// Plane sets as the set writes them: fresh, with a floor and walls, and
// with a floor outline and the schedule further on.
void PlaneStateSeeds() {
    NACommonData hub;
    for (int variant = 0; variant < 3; ++variant) {
        SAPlanes planes;
        const std::vector<Vector2D<int> > outline = {Vector2D<int>(10, 100), Vector2D<int>(150, 100),
                                                      Vector2D<int>(150, 119), Vector2D<int>(10, 119)};
        planes.Initialize(&hub, variant == 2 ? QVGA : QQVGA, 1, 0,
                          variant == 2 ? outline : std::vector<Vector2D<int> >(), 8000);
        if (variant > 0) {
            for (const int kind : {1, 5}) {
                SAPlane& slot = planes.Slot(kind, 0);
                slot.m_hasSAPlane = true;
                slot.m_sol[0] = 0.01f;
                slot.m_sol[1] = kind == 1 ? 2.5f : 0.02f;
                slot.m_sol[2] = kind == 1 ? 400.0f : 900.0f;
                slot.m_count_in = 3000;
                slot.m_count_below = 40;
                slot.m_quality = 560.0f;
                slot.m_maxQuality = 560.0f;
                slot.m_bounds = {0, 70, 160, 120};
            }
            planes.m_foundAnyPlane = planes.m_foundExtremePlane = true;
            ++planes.updateIter;
            ++planes.updateIter;
        }
        std::ostringstream out(std::ios::binary);
        planes.WriteBinary(out);
        WriteSeed("PlaneState", variant == 0 ? "fresh" : variant == 1 ? "floor-and-wall" : "outline", out.str());
    }
}

// Alternative scene analyzers as they write themselves: just set up, and
// with three frames of tracked regions linked to one another.
void NewSceneAnalyzerSeeds() {
    NACommonData hub;
    for (int variant = 0; variant < 2; ++variant) {
        NewSceneAnalyzer analyzer(&hub);
        analyzer.m_planes.Initialize(&hub, QQVGA, 1, 0, std::vector<Vector2D<int> >(), 8000);
        for (int id = NewSceneAnalyzer::kMaxObjectIds; id >= 1; --id) {
            analyzer.m_freeObjectIds.push_back(static_cast<uint16_t>(id));
        }
        for (int frame = 0; variant == 1 && frame < 3; ++frame) {
            Array<NewConnectedComponent>& ccs = analyzer.m_ccs.Push();
            ccs.Clear();
            for (int i = 0; i < 4; ++i) {
                NewConnectedComponent& r = ccs.Push();
                r.Initialize(static_cast<unsigned short>(i), frame);
                r.m_pixelCount = i == 0 ? 0 : 100 * i + frame;
                r.m_xCenter = 20 * i + frame;
                r.m_yCenter = 60;
                r.m_zCenter = 2000 + 100 * i;
                r.m_bounds = Box3D<int>(Vector3D<int>(r.m_xCenter - 5, 40, r.m_zCenter - 50),
                                        Vector3D<int>(r.m_xCenter + 5, 80, r.m_zCenter + 50));
                r.m_RWCenter = Vector3D<float>(100.0f * i + frame, 0.0f, static_cast<float>(r.m_zCenter));
            }
            analyzer.TrackCcs();
        }
        std::ostringstream out(std::ios::binary);
        WriteBinary(out, analyzer);
        WriteSeed("NewSceneAnalyzerState", variant == 0 ? "fresh" : "three-frames", out.str());
    }
}

// "sa" records as the scene analyzer writes them: a map without pixels, and
// a small map over frames with and without a floor and users; and one of
// the container's older layout, which has no floor, by hand.
void SAOutputSeeds() {
    const std::string folder = g_root + "/SAOutput/";
    fs::create_directories(folder);
    // Written from inside the folder, so that the recording's path in the
    // header does not depend on where the tree is.
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    for (int variant = 0; variant < 2; ++variant) {
        const int width = variant == 0 ? 0 : 8;
        const int height = variant == 0 ? 0 : 6;
        {
            SAOutput record(AlgoOutput::MODE_WRITE);
            record.WriteHeader("clip.oni", "seed", width, height);
            xn::SceneMetaData labels;
            labels.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
            for (int frame = 1; frame <= 3 - 2 * (variant == 0); ++frame) {
                for (int i = 0; i < width * height; ++i) {
                    labels.WritableData()[i] = static_cast<XnLabel>(i % width >= frame && i / width >= 2 ? frame : 0);
                }
                const bool present = frame > 1;
                record.Write(frame, labels, present ? Vector3D<double>(0.01, 2.5, 400.0) : Vector3D<double>(0, 0, 0),
                             present ? Box3D<int>(Vector3D<int>(frame, 2, 1800), Vector3D<int>(7, 5, 2400))
                                     : Box3D<int>());
            }
        }
        fs::rename("clip.oni.seed.sa", SeedPath("SAOutput", variant == 0 ? "no-pixels" : "frames"));
    }
    fs::current_path(previous);
    std::ostringstream bytes;
    vela_serialization::WriteRaw(bytes, AlgoOutput::LEGACY_MARKER);
    for (int32_t v : {4, 3, 1, 6 * 2 + 24}) {
        vela_serialization::WriteRaw(bytes, v);
    }
    const std::pair<int32_t, uint16_t> runs[] = {{5, 0}, {7, 2}};
    for (const auto& run : runs) {
        vela_serialization::WriteRaw(bytes, run.first);
        vela_serialization::WriteRaw(bytes, run.second);
    }
    for (int32_t v : {1, 1, 900, 3, 2, 1300}) {
        vela_serialization::WriteRaw(bytes, v);
    }
    WriteSeed("SAOutput", "legacy", bytes.str());
}

// The analyzer's settings as they are written: the defaults, a development
// set-up with a version name, and a name that ends at a zero.
void SAConfigurationSeeds() {
    SAConfiguration configuration;
    for (int variant = 0; variant < 3; ++variant) {
        if (variant == 1) {
            configuration.m_output = {1, -1, -1};
            configuration.m_bitExact = {1, 10, 20};
            configuration.m_resolution = QVGA;
            configuration.m_verName = "nightly";
        } else if (variant == 2) {
            configuration.m_verName = std::string("ab\0cd", 5);
        }
        std::ostringstream out(std::ios::binary);
        WriteBinary(out, configuration);
        WriteSeed("SAConfiguration", variant == 0 ? "defaults" : variant == 1 ? "development" : "zero-in-name",
                  out.str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz/corpus folder>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    IniSeeds();
    DataTableSeeds();
    JointTableSeeds();
    SnapshotSeeds();
    RecordFileSeeds();
    ToolSeeds();
    CalibrationSeeds();
    PointFileSeeds();
    PlaneStateSeeds();
    NewSceneAnalyzerSeeds();
    SAOutputSeeds();
    SAConfigurationSeeds();
    return 0;
}
