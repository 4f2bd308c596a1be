# cmake --install rules and the packages CPack makes of them (scripts/package
# runs both and checks the result):
#   Windows builds  Uninstall.exe and installlog.exe with the README, the
#                   license and the notices of the libraries compiled into
#                   them, as dist/uninstall-<version>-win32.zip (win64 for
#                   the 64-bit build)
#   host builds     bin/installlog with the same documents, as
#                   dist/installlog-<version>-linux-<processor>.tar.gz
# The version is project()'s, as in the programs' version resources and
# installlog --version.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS Uninstall installlog RUNTIME DESTINATION .)
  set(package_docs .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME uninstall-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME uninstall-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS installlog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(package_docs ${CMAKE_INSTALL_DOCDIR})
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" package_system)
  set(CPACK_PACKAGE_FILE_NAME installlog-${PROJECT_VERSION}-${package_system})
  set(CPACK_GENERATOR TGZ)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${package_docs})
# The README links to the documents in docs/: they travel with it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${package_docs}/docs
  FILES_MATCHING PATTERN "*.md")

# installlog has CLI11, nlohmann-json and utfcpp compiled in; the Windows programs
# also the MinGW-w64 runtime. Their licenses ask for their notices beside
# the binaries: the Debian packages' copyright files, where this build
# found the libraries.
set(notices
  CLI11 /usr/share/doc/libcli11-dev/copyright
  nlohmann-json /usr/share/doc/nlohmann-json3-dev/copyright
  utfcpp /usr/share/doc/libutfcpp-dev/copyright)
if(WIN32)
  list(APPEND notices mingw-w64 /usr/share/doc/mingw-w64-common/copyright)
endif()
while(notices)
  list(POP_FRONT notices name file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "the license notice of ${name} is missing: ${file}")
  endif()
  install(FILES ${file} DESTINATION ${package_docs}/third-party RENAME ${name}.txt)
endwhile()

set(CPACK_PACKAGE_NAME Uninstall)
set(CPACK_PACKAGE_VENDOR "Uninstall project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
