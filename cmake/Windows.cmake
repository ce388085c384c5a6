# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake, tests run under wine64):
# the core, the net layer with its Windows side and kestrova-cli. The Qt windows are built on a
# Windows machine with Qt 6 (README, "Windows").
#
# Left out here, with the reason:
#   - modules that need pugixml when its sources are not at hand (Debian ships only the Linux
#     library): the router's port-mapping XML;
#   - tests of Linux-only subjects (network namespaces, netlink, the virtual LAN) and the
#     fuzz harnesses (libFuzzer is a Linux tool here).
set(KESTROVA_SKIP_DIRS)
if(NOT TARGET pugixml::pugixml)
  list(APPEND KESTROVA_SKIP_DIRS src/core/router)
endif()
# The system libraries of the Windows side.
set(KESTROVA_WIN_LIBS ws2_32 iphlpapi wininet bcrypt)

add_subdirectory(src/core)
# The net layer: the modules whose Windows side is written (x_win.cpp beside x.cpp).
foreach(m platform sockets hostnet digest discovery ctp)
  add_subdirectory(src/net/${m})
endforeach()
target_link_libraries(kestrova_net_sockets PUBLIC ws2_32)
target_link_libraries(kestrova_net_hostnet PUBLIC iphlpapi ws2_32)

if(KESTROVA_BUILD_TESTS)
  enable_testing()
  # GoogleTest from the sources Debian's libgtest-dev ships, built with this toolchain.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The unit tests of the core.
  foreach(d app discovery hostnet i18n langfiles protocols remote settings setup text upgrade)
    add_subdirectory(tests/unit/${d})
  endforeach()
  foreach(d discovery ctp_http)
    add_subdirectory(tests/integration/${d})
  endforeach()
  if(TARGET kestrova_core_router)
    add_subdirectory(tests/unit/router)
  endif()
endif()
