# Unity builds of the project's larger targets (see the end of the top
# CMakeLists.txt).  Sources that keep helpers of their own under names other
# sources of the same target use too stay out of the batches: the platform
# layer's pieces (each has its own descriptor wrapper, chunk size ...).
option(TAVREL_UNITY_BUILD "Compile each larger target's sources a few at a time in one unit" ON)
if(NOT TAVREL_UNITY_BUILD)
  return()
endif()

set(TAVREL_UNITY_TARGETS tavrel_engine tavconv_core tavrel_form tavrel_ui tavrel_win32 engine_tests)
foreach(target ${TAVREL_UNITY_TARGETS})
  if(NOT TARGET ${target})
    continue()
  endif()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  list(FILTER sources INCLUDE REGEX "(^|/)platform_[a-z]+_(posix|win32)\\.cpp$")
  list(TRANSFORM sources PREPEND ${source_dir}/ REGEX "^[^/]")
  if(sources)
    set_source_files_properties(${sources} TARGET_DIRECTORY ${target}
                                PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endforeach()
