# The project's warnings, set on each of its own targets rather than for the
# whole build: sources from elsewhere built here (GoogleTest's, in the
# Windows cross-build) keep their own flags, and headers from elsewhere are
# included as system headers.

set(TAVREL_WARNINGS -Wall -Wextra -Wshadow)
if(TAVREL_WERROR)
  list(APPEND TAVREL_WARNINGS -Werror)
endif()

# tavrel_warnings(TARGET...): the warnings on the C++ sources of the targets.
function(tavrel_warnings)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TAVREL_WARNINGS}>)
  endforeach()
endfunction()

# tavrel_warnings_below(DIRECTORY): the warnings on every target that is
# built from sources, made in DIRECTORY or a folder below it that is part of
# this project (a folder added from outside the project's sources is
# skipped, and so are its targets).
function(tavrel_warnings_below directory)
  get_property(source_dir DIRECTORY ${directory} PROPERTY SOURCE_DIR)
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${source_dir}" NORMALIZE inside)
  if(NOT inside)
    return()
  endif()
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      tavrel_warnings(${target})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    tavrel_warnings_below(${subdirectory})
  endforeach()
endfunction()
