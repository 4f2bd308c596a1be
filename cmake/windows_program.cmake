# What every Windows program of the project shares: the wide-character Win32
# API, a lean windows.h without min/max macros, the Windows 7 API level, the
# wide entry points (wmain, wWinMain), and the C and C++ runtimes linked in,
# so that each program needs nothing beside it. Release builds are stripped.
# The linker writes no time stamp into the PE header (its field stays 0), so
# that the same sources and tools give the same bytes on every build.

# The compile settings, for a library or a program (`scope` PUBLIC for a
# library whose users include its headers, PRIVATE otherwise).
function(uninstall_windows_settings target scope)
  target_compile_definitions(${target} ${scope} UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601)
endfunction()

# uninstall_windows_program(NAME [GUI] SOURCES file... [LIBRARIES lib...]
#                           [OUTPUT_NAME name])
# A Windows program: a GUI program with GUI, a console program otherwise.
function(uninstall_windows_program name)
  cmake_parse_arguments(arg "GUI" "OUTPUT_NAME" "SOURCES;LIBRARIES" ${ARGN})
  if(arg_GUI)
    add_executable(${name} WIN32 ${arg_SOURCES})
  else()
    add_executable(${name} ${arg_SOURCES})
  endif()
  uninstall_windows_settings(${name} PRIVATE)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE project_warnings ${arg_LIBRARIES})
  target_link_options(${name} PRIVATE -municode -static -static-libgcc -static-libstdc++
    -Wl,--no-insert-timestamp $<$<CONFIG:Release>:-s>)
  if(arg_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${arg_OUTPUT_NAME})
  endif()
endfunction()
