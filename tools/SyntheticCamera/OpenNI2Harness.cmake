# OpenNI2 and the build-tree harness that runs it with the synthetic camera.
#
# OpenNI2 loads its drivers from "OpenNI2/Drivers" next to the libOpenNI2.so.0
# the process loaded. The harness folder holds a link to the system library and
# a driver folder with only the synthetic camera and OpenNI2's file player, so
# a program that loads libOpenNI2 from there sees no hardware drivers and
# never touches a system folder:
#
#   ${VELA_OPENNI2_HARNESS_DIR}/libOpenNI2.so.0 -> the system library
#   ${VELA_OPENNI2_HARNESS_DIR}/OpenNI2/Drivers/libVelaSyntheticCamera.so.0
#   ${VELA_OPENNI2_HARNESS_DIR}/OpenNI2/Drivers/libOniFile.so.0 -> the system file driver
#
# Any CMakeLists.txt may include this file (it guards itself). The driver is
# built under tools/, so the harness needs VELA_BUILD_TOOLS.
#
#   vela_link_openni2(<target>)
#       Links <target> to OpenNI2 and gives it the harness folder as RUNPATH
#       in the build tree, so that it and every executable that loads it run
#       against the harness. Use it on each executable or shared library that
#       links OpenNI2 directly: the first one the loader meets decides which
#       libOpenNI2.so.0 the process gets.
#   vela_openni2_test_environment(<gtest target>)
#       For a target of vela_add_test: its tests get the leak-check
#       suppressions for OpenNI2's own allocations (LSAN_OPTIONS, which
#       also cuts allocation stacks to two frames so that the suppressions
#       meet only the allocating function), and in sanitizer builds the
#       target keeps OpenNI2's file driver loaded to the end, so that those
#       suppressions can name it.
#   vela_keep_openni2_drivers_loaded(<target>)
#       The part of the above for a program that tests run as a child
#       process (it inherits their environment).
#   VELA_OPENNI2_HARNESS_DIR, VELA_OPENNI2_LSAN_SUPPRESSIONS
#       The harness folder and the suppression file.

include_guard(GLOBAL)

find_package(OpenNI2 REQUIRED)

set(VELA_OPENNI2_HARNESS_DIR "${CMAKE_BINARY_DIR}/openni2" CACHE INTERNAL
  "Build-tree folder from which programs load OpenNI2 and the synthetic camera")
set(VELA_OPENNI2_DRIVER_DIR "${VELA_OPENNI2_HARNESS_DIR}/OpenNI2/Drivers" CACHE INTERNAL "")
set(VELA_OPENNI2_LSAN_SUPPRESSIONS
  "${PROJECT_SOURCE_DIR}/tests/tools/SyntheticCamera/openni2.lsan.supp" CACHE INTERNAL
  "Leak-check suppressions for OpenNI2 and the drivers it loads")

# The links are made at build time; the synthetic camera's driver target
# (tools/SyntheticCamera) writes itself into the driver folder.
set(_vela_harness_stamp "${VELA_OPENNI2_HARNESS_DIR}/harness.stamp")
add_custom_command(
  OUTPUT "${_vela_harness_stamp}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${VELA_OPENNI2_DRIVER_DIR}"
  COMMAND ${CMAKE_COMMAND} -E create_symlink "${OPENNI2_LIBRARY_REAL}"
          "${VELA_OPENNI2_HARNESS_DIR}/libOpenNI2.so.0"
  COMMAND ${CMAKE_COMMAND} -E create_symlink "${OPENNI2_FILE_DRIVER}"
          "${VELA_OPENNI2_DRIVER_DIR}/libOniFile.so.0"
  COMMAND ${CMAKE_COMMAND} -E touch "${_vela_harness_stamp}"
  COMMENT "OpenNI2 harness in ${VELA_OPENNI2_HARNESS_DIR}"
  VERBATIM)
add_custom_target(VelaOpenNI2HarnessLinks DEPENDS "${_vela_harness_stamp}")
add_custom_target(VelaOpenNI2Harness ALL)
add_dependencies(VelaOpenNI2Harness VelaOpenNI2HarnessLinks VelaSyntheticCamera)

function(vela_link_openni2 target)
  target_link_libraries(${target} PRIVATE OpenNI2::OpenNI2)
  set_property(TARGET ${target} APPEND PROPERTY BUILD_RPATH "${VELA_OPENNI2_HARNESS_DIR}")
  add_dependencies(${target} VelaOpenNI2Harness)
endfunction()

# Runs after the tests of <target> are discovered (ctest includes the
# directory's TEST_INCLUDE_FILES in order) and adds to their environment.
# In sanitizer builds, keeps OpenNI2's file driver loaded to the end of a
# program that runs OpenNI2 (see KeepOpenNI2DriversLoaded.cpp).
function(vela_keep_openni2_drivers_loaded target)
  if(VELA_SANITIZE)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tools/SyntheticCamera/KeepOpenNI2DriversLoaded.cpp)
    target_compile_definitions(${target} PRIVATE VELA_OPENNI2_DRIVER_DIR="${VELA_OPENNI2_DRIVER_DIR}")
    target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
  endif()
endfunction()

function(vela_openni2_test_environment target)
  vela_keep_openni2_drivers_loaded(${target})
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}_openni2_env.cmake")
  file(WRITE "${script}"
    "if(DEFINED ${target}_TESTS)\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT_MODIFICATION\n"
    "    \"LSAN_OPTIONS=string_append::suppressions=${VELA_OPENNI2_LSAN_SUPPRESSIONS}:print_suppressions=0:malloc_context_size=2\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()
