# The version in the forms the component shows it: "1.00.0015" (major,
# two-digit minor, four-digit revision), and the public header
# dutygate/dutygate_version.h that carries it for hosts.
string(LENGTH "${PROJECT_VERSION_MINOR}" dg_len)
set(dg_minor_text "${PROJECT_VERSION_MINOR}")
if(dg_len LESS 2)
  set(dg_minor_text "0${dg_minor_text}")
endif()
set(dg_tweak_text "000${PROJECT_VERSION_TWEAK}")
string(LENGTH "${dg_tweak_text}" dg_len)
math(EXPR dg_start "${dg_len} - 4")
string(SUBSTRING "${dg_tweak_text}" ${dg_start} 4 dg_tweak_text)
set(DG_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${dg_minor_text}.${dg_tweak_text}")
# The side-by-side assembly's version on Windows: the interface's version,
# the same for every release of one major version (hosts name it exactly).
set(DG_ASSEMBLY_VERSION "${PROJECT_VERSION_MAJOR}.0.0.0")
math(EXPR DG_VERSION_NUMBER "${PROJECT_VERSION_MAJOR} * 1000000 + ${PROJECT_VERSION_MINOR} * 1000 + ${PROJECT_VERSION_TWEAK}")

configure_file(${PROJECT_SOURCE_DIR}/include/dutygate/dutygate_version.h.in
  ${PROJECT_BINARY_DIR}/include/dutygate/dutygate_version.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/include)
# The four-field version for the scripts that package a build
# (scripts/windows.sh and scripts/windows-package.sh read it from here).
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/dutygate-version.txt CONTENT "${PROJECT_VERSION}\n")
