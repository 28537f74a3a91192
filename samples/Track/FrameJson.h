#pragma once

// One JSON line per tracker frame, as the sample writes them:
//
//   user tracker:  {"frame":12,"timestamp":366663,"floor":{"confidence":1,
//                   "point":[x,y,z],"normal":[x,y,z]},"users":[{"id":1,
//                   "state":3,"box":{"min":[x,y],"max":[x,y]},
//                   "centerOfMass":[x,y,z],"skeleton":{"state":2,"joints":[
//                   {"type":0,"position":[x,y,z],"positionConfidence":1,
//                   "orientation":[x,y,z,w],"orientationConfidence":1},...]},
//                   "poses":[{"type":0,"state":1},{"type":1,"state":0}]}]}
//   hand tracker:  {"frame":12,"timestamp":366663,"hands":[{"id":1,"state":2,
//                   "position":[x,y,z]}],"gestures":[{"type":0,"state":4,
//                   "position":[x,y,z]}]}
//
// Positions are world millimetres, boxes depth-image pixels; the states are
// the public header's bit values. Joints are listed only while the skeleton
// is tracked (state 2). Numbers keep every digit a float needs (nine); one
// that is not finite is written as null.

#include <string>

#include <Vela.h>

std::string UserFrameJson(const VelaUserTrackerFrame& frame);
std::string HandFrameJson(const VelaHandTrackerFrame& frame);
