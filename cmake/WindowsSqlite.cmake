# Debian has no Windows build of SQLite: scripts/install-windows-deps.sh makes the amalgamation
# from Debian's source package of the version the Linux build links, and it is compiled here.
set(QUENVOR_SQLITE_SOURCE "${QUENVOR_WINDOWS_DEPS}/sqlite" CACHE PATH "Folder holding sqlite3.c and sqlite3.h")
if(NOT EXISTS "${QUENVOR_SQLITE_SOURCE}/sqlite3.c")
  message(FATAL_ERROR "No sqlite3.c in ${QUENVOR_SQLITE_SOURCE}: run scripts/install-windows-deps.sh (make test-windows does)")
endif()
add_library(quenvor_sqlite3 STATIC "${QUENVOR_SQLITE_SOURCE}/sqlite3.c")
target_include_directories(quenvor_sqlite3 SYSTEM PUBLIC "${QUENVOR_SQLITE_SOURCE}")
# The options Debian builds its library with that change what a program sees.
target_compile_definitions(quenvor_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_USE_URI=1
  SQLITE_ENABLE_COLUMN_METADATA SQLITE_SECURE_DELETE SQLITE_MAX_SCHEMA_RETRY=25)
target_compile_options(quenvor_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS quenvor_sqlite3)
