# cmake --install rules, which scripts/package installs into a folder of the
# package's name and packs (reproducibly: scripts/lib/archive.py):
#   Windows builds  Uninstall.exe and installlog.exe with the README, the
#                   license and the notices of the libraries compiled into
#                   them, as dist/uninstall-<version>-win32.zip (win64 for
#                   the 64-bit build)
#   host builds     bin/installlog with the same documents and, in
#                   libexec/installlog/, what its capture and verify run,
#                   as dist/installlog-<version>-linux-<processor>.tar.gz
# The version is project()'s, as in the programs' version resources and
# installlog --version. The package's name (without the archive's extension)
# goes into the cache as UNINSTALL_PACKAGE_NAME for the script.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS Uninstall installlog RUNTIME DESTINATION .)
  set(package_docs .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(UNINSTALL_PACKAGE_NAME uninstall-${PROJECT_VERSION}-win64)
  else()
    set(UNINSTALL_PACKAGE_NAME uninstall-${PROJECT_VERSION}-win32)
  endif()
else()
  install(TARGETS installlog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # capture and verify run the Wine side through wine-session, which sources
  # the Wine harness from lib/ beside it; scripts/package adds verify's
  # answering helper (answer.exe, from the win32 build) to the same folder.
  set(helpers ${CMAKE_INSTALL_LIBEXECDIR}/installlog)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/wine_session.sh DESTINATION ${helpers}
    RENAME wine-session)
  install(FILES ${PROJECT_SOURCE_DIR}/scripts/lib/wine.sh ${PROJECT_SOURCE_DIR}/scripts/lib/prefix.sh
    ${PROJECT_SOURCE_DIR}/scripts/lib/answer.sh ${PROJECT_SOURCE_DIR}/scripts/lib/installlog.sh
    DESTINATION ${helpers}/lib)
  set(package_docs ${CMAKE_INSTALL_DOCDIR})
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" package_system)
  set(UNINSTALL_PACKAGE_NAME installlog-${PROJECT_VERSION}-${package_system})
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

set(UNINSTALL_PACKAGE_NAME ${UNINSTALL_PACKAGE_NAME} CACHE INTERNAL "the release package's name")
