# The program's resources, compiled once by the MinGW resource compiler for both builds:
#   icons and cursor   res/art/*.txt  --scripts/make-icons-->  <build>/res/*.ico, *.cur
#   resource script    res/trovanix.rc  --windres-->  <build>/res/trovanix.res (native)
#                                                     <build>/res/trovanix_res.o (Windows)
# The native build links the very same .res bytes into winsim as a C++ array, so the
# simulated desktop loads the real menu, dialog, icons and version block.
#
# Sets TROVANIX_WIN_RESOURCE_OBJECT (Windows build) and TROVANIX_NATIVE_RESOURCE_SOURCES
# (native build).
#
# Run as a script (cmake -DRES_IN=x.res -DCPP_OUT=x.cpp -P resources.cmake), this file writes
# the C++ array that embeds a compiled .res file.

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT RES_IN OR NOT CPP_OUT)
    message(FATAL_ERROR "resources.cmake: RES_IN and CPP_OUT are required")
  endif()
  file(READ "${RES_IN}" _hex HEX)
  string(LENGTH "${_hex}" _digits)
  if(_digits EQUAL 0)
    message(FATAL_ERROR "resources.cmake: ${RES_IN} is empty")
  endif()
  math(EXPR _bytes "${_digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _array "${_hex}")
  string(REPEAT "0x..," 16 _line)
  string(REGEX REPLACE "(${_line})" "\\1\n    " _array "${_array}")
  file(WRITE "${CPP_OUT}.tmp"
       "// Generated from trovanix.res by cmake/resources.cmake; do not edit.\n"
       "#include <cstddef>\n\n"
       "namespace winsim {\n"
       "extern const unsigned char kProgramResources[];\n"
       "extern const size_t kProgramResourcesSize;\n"
       "alignas(16) const unsigned char kProgramResources[] = {\n    ${_array}\n};\n"
       "const size_t kProgramResourcesSize = ${_bytes};\n"
       "} // namespace winsim\n")
  file(RENAME "${CPP_OUT}.tmp" "${CPP_OUT}")
  return()
endif()

find_package(Python3 COMPONENTS Interpreter REQUIRED)
# The Windows builds use their own toolchain's windres (the object must match the target); the
# native build only needs the architecture-neutral .res, which either windres writes.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(TROVANIX_WINDRES ${CMAKE_RC_COMPILER})
else()
  find_program(TROVANIX_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres)
endif()
if(NOT TROVANIX_WINDRES)
  message(FATAL_ERROR "windres not found: run scripts/setup-debian")
endif()

set(_trovanix_res_src ${CMAKE_SOURCE_DIR}/res)
set(_trovanix_res_out ${CMAKE_BINARY_DIR}/res)
file(MAKE_DIRECTORY ${_trovanix_res_out})

# One .ico or .cur per pixel map; its "kind" line says which.
file(GLOB _trovanix_art CONFIGURE_DEPENDS ${_trovanix_res_src}/art/*.txt)
set(_trovanix_images)
foreach(_map IN LISTS _trovanix_art)
  get_filename_component(_name ${_map} NAME_WE)
  file(STRINGS ${_map} _kind REGEX "^kind +cursor")
  if(_kind)
    list(APPEND _trovanix_images ${_trovanix_res_out}/${_name}.cur)
  else()
    list(APPEND _trovanix_images ${_trovanix_res_out}/${_name}.ico)
  endif()
endforeach()

add_custom_command(
  OUTPUT ${_trovanix_images}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-icons
          ${_trovanix_res_src}/art ${_trovanix_res_out}
  DEPENDS ${_trovanix_art} ${CMAKE_SOURCE_DIR}/scripts/make-icons
  COMMENT "Drawing icons and cursor from their pixel maps"
  VERBATIM)

set(_trovanix_rc_inputs ${_trovanix_res_src}/trovanix.rc ${_trovanix_res_src}/resource.h
    ${_trovanix_res_src}/trovanix.manifest ${_trovanix_images})
set(_trovanix_windres ${TROVANIX_WINDRES} -I ${_trovanix_res_src} -I ${_trovanix_res_out}
    -i ${_trovanix_res_src}/trovanix.rc)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(TROVANIX_WIN_RESOURCE_OBJECT ${_trovanix_res_out}/trovanix_res.o)
  add_custom_command(
    OUTPUT ${TROVANIX_WIN_RESOURCE_OBJECT}
    COMMAND ${_trovanix_windres} -O coff -o ${TROVANIX_WIN_RESOURCE_OBJECT}
    DEPENDS ${_trovanix_rc_inputs}
    COMMENT "Compiling the resource script"
    VERBATIM)
  # For targets of other folders that link the object: only this folder knows its rule.
  add_custom_target(trovanix_resources DEPENDS ${TROVANIX_WIN_RESOURCE_OBJECT})
  set(TROVANIX_NATIVE_RESOURCE_SOURCES)
else()
  set(_trovanix_res_file ${_trovanix_res_out}/trovanix.res)
  set(TROVANIX_NATIVE_RESOURCE_SOURCES ${_trovanix_res_out}/trovanix_res.cpp)
  add_custom_command(
    OUTPUT ${_trovanix_res_file}
    COMMAND ${_trovanix_windres} -O res -o ${_trovanix_res_file}
    DEPENDS ${_trovanix_rc_inputs}
    COMMENT "Compiling the resource script"
    VERBATIM)
  add_custom_command(
    OUTPUT ${TROVANIX_NATIVE_RESOURCE_SOURCES}
    COMMAND ${CMAKE_COMMAND} -DRES_IN=${_trovanix_res_file}
            -DCPP_OUT=${TROVANIX_NATIVE_RESOURCE_SOURCES} -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${_trovanix_res_file} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Embedding the compiled resources"
    VERBATIM)
  set(TROVANIX_WIN_RESOURCE_OBJECT)
endif()
