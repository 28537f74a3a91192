# OpenNI2 from Debian's libopenni2-dev.
#   OpenNI2::OpenNI2        imported target (headers and libOpenNI2.so.0)
#   OPENNI2_INCLUDE_DIR     the header folder
#   OPENNI2_LIBRARY_REAL    the library's real path
#   OPENNI2_FILE_DRIVER     OpenNI2's file player driver (libOniFile.so.0)
include(FindPackageHandleStandardArgs)

find_path(OPENNI2_INCLUDE_DIR OniCAPI.h PATH_SUFFIXES openni2)
find_library(OPENNI2_LIBRARY NAMES OpenNI2)
if(OPENNI2_LIBRARY)
  get_filename_component(OPENNI2_LIBRARY_REAL "${OPENNI2_LIBRARY}" REALPATH)
  get_filename_component(_openni2_libdir "${OPENNI2_LIBRARY_REAL}" DIRECTORY)
  find_file(OPENNI2_FILE_DRIVER libOniFile.so.0
    PATHS "${_openni2_libdir}/OpenNI2/Drivers" NO_DEFAULT_PATH)
endif()

find_package_handle_standard_args(OpenNI2
  REQUIRED_VARS OPENNI2_LIBRARY OPENNI2_INCLUDE_DIR OPENNI2_FILE_DRIVER)

if(OpenNI2_FOUND AND NOT TARGET OpenNI2::OpenNI2)
  add_library(OpenNI2::OpenNI2 SHARED IMPORTED GLOBAL)
  set_target_properties(OpenNI2::OpenNI2 PROPERTIES
    IMPORTED_LOCATION "${OPENNI2_LIBRARY_REAL}"
    IMPORTED_SONAME "libOpenNI2.so.0"
    INTERFACE_INCLUDE_DIRECTORIES "${OPENNI2_INCLUDE_DIR}")
endif()
