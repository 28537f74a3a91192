cmake_policy(SET CMP0057 NEW)
# Fails unless the library's dynamic symbol table defines exactly the 39
# functions of the public header.
#   cmake -DNM=<nm> -DLIBRARY=<libVela2.so> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE " .*" "" name "${line}")
  list(APPEND names ${name})
  if(NOT name MATCHES "^vela")
    message(SEND_ERROR "exported but not a vela name: ${name}")
  endif()
endforeach()
# The 39 functions of the public header: library, user-tracker and
# hand-tracker families.
set(expected_names
  velaInitialize
  velaShutdown
  velaGetVersion
  velaInitializeUserTracker
  velaInitializeUserTrackerByDevice
  velaShutdownUserTracker
  velaStartSkeletonTracking
  velaStopSkeletonTracking
  velaIsSkeletonTracking
  velaSetSkeletonSmoothing
  velaGetSkeletonSmoothing
  velaStartPoseDetection
  velaStopPoseDetection
  velaStopAllPoseDetection
  velaRegisterUserTrackerCallbacks
  velaUnregisterUserTrackerCallbacks
  velaReadUserTrackerFrame
  velaUserTrackerFrameAddRef
  velaUserTrackerFrameRelease
  velaConvertJointCoordinatesToDepth
  velaConvertDepthCoordinatesToJoint
  velaInitializeHandTracker
  velaInitializeHandTrackerByDevice
  velaShutdownHandTracker
  velaStartHandTracking
  velaStopHandTracking
  velaStopAllHandTracking
  velaSetHandSmoothingFactor
  velaGetHandSmoothingFactor
  velaRegisterHandTrackerCallbacks
  velaUnregisterHandTrackerCallbacks
  velaReadHandTrackerFrame
  velaHandTrackerFrameAddRef
  velaHandTrackerFrameRelease
  velaStartGestureDetection
  velaStopGestureDetection
  velaStopAllGestureDetection
  velaConvertHandCoordinatesToDepth
  velaConvertDepthCoordinatesToHand
)
foreach(expected ${expected_names})
  if(NOT expected IN_LIST names)
    message(SEND_ERROR "not exported: ${expected}")
  endif()
endforeach()
foreach(name ${names})
  if(name MATCHES "^vela" AND NOT name IN_LIST expected_names)
    message(SEND_ERROR "exported but not in the public header: ${name}")
  endif()
endforeach()
