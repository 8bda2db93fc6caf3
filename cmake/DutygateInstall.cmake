# Installation and packaging: the shared library (with its SONAME and the
# development link), the public headers, a pkg-config file, a CMake package
# (find_package(Dutygate) -> Dutygate::dutygate), the Python binding, the demo
# host, and a Debian package made by CPack (`cpack -G DEB` in the build tree).
#
# Destinations, under the prefix (LIBDIR is GNUInstallDirs' choice: lib, or
# lib/<multiarch> for the prefix /usr):
#   LIBDIR/libdutygate.so.1.0.0.15, LIBDIR/libdutygate.so.1, LIBDIR/libdutygate.so
#   include/dutygate/*.h, *.hpp
#   LIBDIR/pkgconfig/dutygate.pc
#   LIBDIR/cmake/Dutygate/{DutygateConfig,DutygateConfigVersion,DutygateTargets*}.cmake
#   lib/python3/dist-packages/dutygate/   (on sys.path of Debian's python3 for prefix /usr)
#   share/dutygate/Dutygate.idl
#   bin/dutygate-host
#   bin/dutygate-reset-password
#   bin/dutygate-check
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(DUTYGATE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Dutygate
    CACHE STRING "Where the CMake package files go, under the prefix")
# Debian's python3 looks in lib/python3/dist-packages, never in the multiarch
# library folder.
set(DUTYGATE_INSTALL_PYTHONDIR lib/python3/dist-packages
    CACHE STRING "Where the Python package 'dutygate' goes, under the prefix")

# ---- library and headers ----
if(TARGET dutygate)
  target_include_directories(dutygate INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS dutygate EXPORT DutygateTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/dutygate
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
    FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
  install(FILES ${PROJECT_BINARY_DIR}/include/dutygate/dutygate_version.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/dutygate COMPONENT development)

  # ---- CMake package ----
  install(EXPORT DutygateTargets NAMESPACE Dutygate:: FILE DutygateTargets.cmake
    DESTINATION ${DUTYGATE_INSTALL_CMAKEDIR} COMPONENT development)
  configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/DutygateConfig.cmake.in
    ${PROJECT_BINARY_DIR}/DutygateConfig.cmake
    INSTALL_DESTINATION ${DUTYGATE_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/DutygateConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/DutygateConfig.cmake ${PROJECT_BINARY_DIR}/DutygateConfigVersion.cmake
    DESTINATION ${DUTYGATE_INSTALL_CMAKEDIR} COMPONENT development)

  # ---- pkg-config ----
  # The prefix is found from the .pc file's own place, so that the same file
  # serves `cmake --install --prefix ANY` and the Debian package alike.
  set(dg_pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  if(IS_ABSOLUTE "${dg_pcdir}")
    set(DG_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH dg_pc_up /root/${dg_pcdir} /root)
    string(REGEX REPLACE "/$" "" dg_pc_up "${dg_pc_up}")
    set(DG_PC_PREFIX "\${pcfiledir}/${dg_pc_up}")
  endif()
  foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(DG_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(DG_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/dutygate.pc.in ${PROJECT_BINARY_DIR}/dutygate.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/dutygate.pc DESTINATION ${dg_pcdir} COMPONENT development)
endif()

# ---- Python binding ----
install(DIRECTORY ${PROJECT_SOURCE_DIR}/bindings/python/dutygate
  DESTINATION ${DUTYGATE_INSTALL_PYTHONDIR} COMPONENT python OPTIONAL
  PATTERN "__pycache__" EXCLUDE PATTERN "*.pyc" EXCLUDE)

# ---- interface description ----
install(FILES ${PROJECT_SOURCE_DIR}/component/Dutygate.idl
  DESTINATION ${CMAKE_INSTALL_DATADIR}/dutygate COMPONENT development OPTIONAL)

# ---- demo host ----
if(TARGET dutygate-host)
  # Finds libdutygate.so beside it in any prefix.
  set_target_properties(dutygate-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS dutygate-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
endif()

# ---- station tools: the forgotten-password tool and the station check ----
foreach(tool dg_reset_password dg_check)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
  endif()
endforeach()

# ---- licence ----
# The Debian package's copyright file, in Debian's machine-readable form,
# made from LICENSE (its text after the title and copyright line) so that the
# licence lives in one place: each line indented by one space, an empty line
# written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE dg_license)
string(FIND "${dg_license}" "Permission is hereby granted" dg_at)
string(SUBSTRING "${dg_license}" ${dg_at} -1 dg_license)
string(REGEX REPLACE "\n+$" "" dg_license "${dg_license}")
string(REPLACE "\n" "\n " dg_license " ${dg_license}")
string(REPLACE "\n \n" "\n .\n" dg_license "${dg_license}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Dutygate

Files: *
Copyright: 2026 the Dutygate developers
License: MIT
${dg_license}
")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dutygate COMPONENT runtime)

# ---- Debian package ----
set(CPACK_PACKAGE_NAME dutygate)
set(CPACK_PACKAGE_VENDOR "Dutygate")
set(CPACK_PACKAGE_CONTACT "Dutygate maintainers <dutygate@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "operator access control and shift schedule component with Chinese dialogs")
set(CPACK_PACKAGE_DESCRIPTION
    "libdutygate.so, a component that a host program loads through a C interface: \
operator login, password change and logout dialogs, and a shift schedule that \
announces each shift change. With headers, pkg-config and CMake files, the \
Python binding, the demo host dutygate-host and the forgotten-password tool \
dutygate-reset-password.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)  # debug information stays in the build tree
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei, python3")
find_program(DG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DG_DPKG_SHLIBDEPS)
  # Depends worked out from the libraries the binaries actually link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, libqt6core6, libqt6gui6, libqt6widgets6, libsqlite3-0")
endif()
include(CPack)
