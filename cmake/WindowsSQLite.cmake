# SQLite for the Windows build: the amalgamation made from Debian's own source
# package (scripts/windows.sh runs `apt-get source sqlite3` and `make sqlite3.c`),
# compiled here with the cross compiler into a static library. Same engine and
# file format as the system SQLite on Linux, so a Para.mdb moves unchanged.
set(DUTYGATE_SQLITE_AMALGAMATION "" CACHE PATH "Folder holding sqlite3.c and sqlite3.h")
if(NOT EXISTS "${DUTYGATE_SQLITE_AMALGAMATION}/sqlite3.c" OR NOT EXISTS "${DUTYGATE_SQLITE_AMALGAMATION}/sqlite3.h")
  message(FATAL_ERROR "DUTYGATE_SQLITE_AMALGAMATION must name a folder with sqlite3.c and sqlite3.h "
    "(./scripts/windows.sh builds it from Debian's sqlite3 source package)")
endif()

add_library(dg_sqlite3 STATIC ${DUTYGATE_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(dg_sqlite3 SYSTEM PUBLIC ${DUTYGATE_SQLITE_AMALGAMATION})
# The options of Debian's own build that change what SQL does, so that both
# platforms behave alike; no loadable extensions in a plant DLL.
target_compile_definitions(dg_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1
  SQLITE_SECURE_DELETE
  SQLITE_ENABLE_COLUMN_METADATA
  SQLITE_LIKE_DOESNT_MATCH_BLOBS
  SQLITE_ALLOW_ROWID_IN_VIEW
  SQLITE_USE_URI=1
  SQLITE_MAX_SCHEMA_RETRY=25
  SQLITE_MAX_VARIABLE_NUMBER=250000
  SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(dg_sqlite3 PRIVATE -w -fno-strict-aliasing)
add_library(SQLite::SQLite3 ALIAS dg_sqlite3)
