// poses.cpp -- reading the prey pose file and deriving the motion tables.
//
// The file is whitespace-separated decimal numbers: the stride, then for each
// of the 18 poses and each of its 10 joints offset x, y, z, angle, axis x, y,
// z. Anything after the 1261st number is ignored. A missing or short file
// leaves the numbers not read at 0, and the tables are derived all the same
// (prey then make little or no ground motion); the game still runs.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <sstream>

#include "base/log.h"
#include "prey/prey.h"
#include "base/file_read.h"

PreyPoseSet preyPoses;

namespace {

// Larger magnitudes are not poses (model units and degrees of a creature a few
// units tall); they would only turn the derived tables into infinities.
constexpr float kPoseValueLimit = 1.0e5f;
// Longest token taken as a number; anything longer ends the reading.
constexpr size_t kMaxTokenLength = 64;

// Reads the next whitespace-separated token as a float. Returns false at the
// end of the input or on a token that is not a complete, finite number of
// sane size; the caller stops reading there (a sticky end).
bool readNumber(std::istream& in, float& out) {
    int c = in.get();
    while (c != EOF && std::isspace(static_cast<unsigned char>(c))) c = in.get();
    if (c == EOF) return false;
    char token[kMaxTokenLength + 1];
    size_t n = 0;
    while (c != EOF && !std::isspace(static_cast<unsigned char>(c))) {
        if (n == kMaxTokenLength) return false;
        token[n++] = static_cast<char>(c);
        c = in.get();
    }
    token[n] = '\0';
    errno = 0;
    char* end = nullptr;
    const float v = std::strtof(token, &end);
    if (end != token + n || errno == ERANGE) return false;
    if (!std::isfinite(v) || std::fabs(v) > kPoseValueLimit) return false;
    out = v;
    return true;
}

// Field f (0..6: offset x, y, z, angle, axis x, y, z) of a joint.
float& jointField(PoseJoint& joint, int f) {
    switch (f) {
    case 0: return joint.offset.x;
    case 1: return joint.offset.y;
    case 2: return joint.offset.z;
    case 3: return joint.angle;
    case 4: return joint.axis.x;
    case 5: return joint.axis.y;
    default: return joint.axis.z;
    }
}

// Reads up to kPreyPoseNumbers numbers into a fresh set, derives the tables
// and commits it to `set`. Returns how many numbers were read.
int readPoseStream(std::istream& in, PreyPoseSet& set) {
    PreyPoseSet fresh;
    int count = 0;
    float v = 0.0f;
    while (count < kPreyPoseNumbers && readNumber(in, v)) {
        if (count == 0) {
            fresh.stride = v;
        } else {
            const int i = count - 1;  // 0..1259 over poses, joints, fields
            const int pose = i / (kPreyJointCount * 7);
            const int joint = (i / 7) % kPreyJointCount;
            jointField(fresh.poses[pose][joint], i % 7) = v;
        }
        ++count;
    }
    derivePreyMotion(fresh);
    set = fresh;
    return count;
}

}  // namespace

void derivePreyMotion(PreyPoseSet& set) {
    const auto tx = [&set](int p) { return set.poses[p][0].offset.x; };
    const auto ty = [&set](int p) { return set.poses[p][0].offset.y; };
    const auto a = [&set](int p) { return set.poses[p][0].angle; };
    const auto az = [&set](int p) { return set.poses[p][0].axis.z; };

    // The root moves towards -y as the creature walks; the eighth step closes
    // the cycle from pose 7 back to pose 0 one stride further on.
    for (int k = 0; k < kPreyWalkSteps - 1; ++k) set.walkStep[k] = ty(k) - ty(k + 1);
    set.walkStep[kPreyWalkSteps - 1] = ty(kPreyWalkSteps - 1) - ty(0) + set.stride;

    // The two turns mirror each other: both take their heading changes from
    // the root angles of the second sequence (poses 13..17), sequence 0
    // turning by minus those steps and sequence 1 by plus them. The ground
    // motion of each step comes from its own sequence's poses.
    for (int s = 0; s < 2; ++s) {
        for (int j = 0; j < kPreyTurnSteps; ++j) {
            const int p = 9 + 5 * s + j;
            const float d = a(14 + j) - a(13 + j);
            set.turnDelta[0][j] = -d;
            set.turnDelta[1][j] = d;
            const float u = -(ty(p) - ty(p - 1));
            const float v = -(tx(p) - tx(p - 1));
            set.turnDistance[s][j] = std::sqrt(u * u + v * v);
            set.turnBearing[s][j] = headingDegrees(Vec3{u, v, 0.0f}) + az(p - 1) * a(p - 1);
        }
    }
}

int readPreyPosesText(const std::string& text, PreyPoseSet& set) {
    std::istringstream in(text);
    return readPoseStream(in, set);
}

bool readPreyPoses(const char* path, PreyPoseSet& set) {
    std::vector<uint8_t> bytes;
    std::string error;
    const FileRead read = readDataFile(path, kMaxPreyPoseFileSize, bytes, error);
    if (read != FileRead::Read) {
        set = PreyPoseSet{};
        derivePreyMotion(set);
        logLine(LogLevel::Error, "%s: pose file %s: %s%s; prey will stand still", path,
                read == FileRead::TooLarge ? "refused" : "not read", error.c_str(),
                read == FileRead::TooLarge ? ", more than a pose file needs" : "");
        return false;
    }
    const int count = readPreyPosesText(std::string(bytes.begin(), bytes.end()), set);
    if (count < kPreyPoseNumbers) {
        logLine(LogLevel::Error, "%s: only %d of %d numbers could be read; the rest are taken as 0", path, count,
                kPreyPoseNumbers);
        return false;
    }
    return true;
}

bool loadPreyPoseFile() { return readPreyPoses(kPreyPoseFileName, preyPoses); }

int clampPreyPose(int pose) {
    if (pose < 0) return 0;
    if (pose >= kPreyPoseCount) return kPreyPoseCount - 1;
    return pose;
}
