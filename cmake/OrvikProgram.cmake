# What makes a program of ours recognisable as one release: the project version as text for the
# code (OrvikVersion.h, target orvik_version) and, for Windows programs, resources from one
# template: the manifest, the program's icon and a version resource.
#
#   orvik_program_resources(TARGET DESCRIPTION "text")
#
# gives TARGET.exe those resources, with the text as its FileDescription, and OrvikVersion.h.

if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  # Windows keeps four numbers; the fourth is always 0 here.
  message(FATAL_ERROR "the project version must be MAJOR.MINOR.PATCH, not '${PROJECT_VERSION}'")
endif()
set(ORVIK_GENERATED ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/src/app/OrvikVersion.h.in ${ORVIK_GENERATED}/OrvikVersion.h
               @ONLY)
add_library(orvik_version INTERFACE)
target_include_directories(orvik_version INTERFACE ${ORVIK_GENERATED})

if(WIN32)
  set(ORVIK_MANIFEST ${ORVIK_GENERATED}/Program.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/Program.manifest.in ${ORVIK_MANIFEST} @ONLY)

  # The icon is drawn by the picture code of the windows, compiled for the build machine.
  find_program(ORVIK_HOST_CXX NAMES g++ c++ REQUIRED)
  set(ORVIK_ICON ${ORVIK_GENERATED}/Orvik.ico)
  set(icon_tool ${ORVIK_GENERATED}/orvik-make-icon)
  set(icon_sources ${PROJECT_SOURCE_DIR}/src/app/icon/MakeIcon.cpp
                   ${PROJECT_SOURCE_DIR}/src/ui/Pictures.cpp)
  add_custom_command(OUTPUT ${icon_tool}
    COMMAND ${ORVIK_HOST_CXX} -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror
            -I${PROJECT_SOURCE_DIR}/src ${icon_sources} -lz -o ${icon_tool}
    DEPENDS ${icon_sources} ${PROJECT_SOURCE_DIR}/src/ui/Pictures.h
            ${PROJECT_SOURCE_DIR}/src/platform/Toolkit.h
    COMMENT "Building the icon maker for the build machine" VERBATIM)
  add_custom_command(OUTPUT ${ORVIK_ICON} COMMAND ${icon_tool} ${ORVIK_ICON}
    DEPENDS ${icon_tool} COMMENT "Drawing the program icon" VERBATIM)
  add_custom_target(orvik_icon DEPENDS ${ORVIK_ICON})
endif()

function(orvik_program_resources target)
  cmake_parse_arguments(P "" "DESCRIPTION" "" ${ARGN})
  if(NOT P_DESCRIPTION)
    message(FATAL_ERROR "orvik_program_resources(${target}) needs a DESCRIPTION")
  endif()
  target_link_libraries(${target} PRIVATE orvik_version)
  if(NOT WIN32)
    return()
  endif()
  set(ORVIK_PROGRAM ${target})
  set(ORVIK_FILE_DESCRIPTION ${P_DESCRIPTION})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/Program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${ORVIK_MANIFEST};${ORVIK_ICON}")
  add_dependencies(${target} orvik_icon)
endfunction()
