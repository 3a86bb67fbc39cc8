# What `cmake --install` puts into a prefix: the release's tree, the same files
# in the same folders as the zip scripts/release.sh makes. Each build installs
# its part, and the three release builds (release-x86, release-x64,
# release-linux) installed into one prefix give the whole tree:
#
#   CHANGELOG.md, docs/*.md       every build
#   x86/, x64/                    zkcoinst.dll and its symbols, zkcoinst.dll.debug;
#                                 zkremove.exe, which takes the package off a
#                                 machine of that processor
#   package/camera/               the example package, ready to install on both:
#                                 its INF, zkcoinst.ini, the companion-program
#                                 key (.reg), x86/ and amd64/zkcoinst.dll, and
#                                 xwvalueadd.exe, a stand-in value-add program
#                                 that records its start (the recording stub)
#   tools/windows/                zkinicheck, zkpkgcheck, zklogcheck (x64 build)
#   tools/linux/                  the same for Linux (host build)
#
# The DLLs and programs go in as the build made them: nothing is stripped or
# rewritten on the way.
install(FILES ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
# The reference and every other guide of docs/.
file(GLOB ZK_DOCS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${ZK_DOCS} DESTINATION docs)

set(ZK_CHECKERS zkinicheck zkpkgcheck zklogcheck)
if(ZK_WINDOWS)
  # The folder of each processor in the example package, as its INF names it.
  if(ZK_WINDOWS_ARCH STREQUAL "x64")
    set(package_folder amd64)
  else()
    set(package_folder x86)
  endif()
  install(PROGRAMS $<TARGET_FILE:zkcoinst> DESTINATION ${ZK_WINDOWS_ARCH})
  install(FILES $<TARGET_FILE:zkcoinst>.debug DESTINATION ${ZK_WINDOWS_ARCH})
  install(PROGRAMS $<TARGET_FILE:zkremove> DESTINATION ${ZK_WINDOWS_ARCH})
  install(PROGRAMS $<TARGET_FILE:zkcoinst> DESTINATION package/camera/${package_folder})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/camera/ DESTINATION package/camera)
  if(ZK_WINDOWS_ARCH STREQUAL "x86")
    # One program in the INF's folder serves both processors: the x86 one.
    install(PROGRAMS $<TARGET_FILE:record_stub> DESTINATION package/camera
            RENAME xwvalueadd.exe)
  else()
    foreach(checker ${ZK_CHECKERS})
      install(PROGRAMS $<TARGET_FILE:${checker}> DESTINATION tools/windows)
    endforeach()
  endif()
else()
  foreach(checker ${ZK_CHECKERS})
    install(PROGRAMS $<TARGET_FILE:${checker}> DESTINATION tools/linux)
  endforeach()
endif()
