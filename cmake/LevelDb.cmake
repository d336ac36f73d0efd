# LevelDB, the store Chromium keeps its sites' local and session storage in, as the target
# LevelDb::LevelDb. Debian's package has CMake files that ask for Snappy's development files,
# which nothing here needs (the shared library brings its own), so the library is looked up
# directly. For Windows, scripts/install-windows-deps.sh builds it and Snappy into the deps
# prefix as static libraries, which the toolchain file's search root covers.
find_path(QUENVOR_LEVELDB_INCLUDE leveldb/db.h REQUIRED)
if(WIN32)
  find_library(QUENVOR_LEVELDB_LIBRARY NAMES libleveldb.a REQUIRED)
else()
  find_library(QUENVOR_LEVELDB_LIBRARY leveldb REQUIRED)
endif()
add_library(LevelDb::LevelDb INTERFACE IMPORTED)
target_include_directories(LevelDb::LevelDb SYSTEM INTERFACE "${QUENVOR_LEVELDB_INCLUDE}")
target_link_libraries(LevelDb::LevelDb INTERFACE "${QUENVOR_LEVELDB_LIBRARY}")
if(WIN32)
  find_library(QUENVOR_SNAPPY_LIBRARY NAMES libsnappy.a REQUIRED)
  target_link_libraries(LevelDb::LevelDb INTERFACE "${QUENVOR_SNAPPY_LIBRARY}")
endif()
