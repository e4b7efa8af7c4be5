# The Windows build (a mingw-w64 toolchain file sets WIN32): the real Win32 API stands where
# the POSIX platform layer stands in the POSIX build, under the same target names, so the
# product folders' CMake files link the same names in both builds.

# Programs that run on a bare Windows: the C++ runtime, libgcc and winpthreads linked in.
add_link_options(-static -static-libgcc -static-libstdc++)

# The system libraries of the Win32 calls the product makes.
add_library(txplatform INTERFACE)
target_link_libraries(txplatform INTERFACE user32 advapi32 wininet ole32 uuid shell32 bcrypt)

# The controller's entry point is wWinMain in the GUI subsystem: it has no console.
add_library(txwinmain INTERFACE)
target_link_options(txwinmain INTERFACE -municode -mwindows)

# zlib from libz-mingw-w64-dev, its static library.
set(ZLIB_USE_STATIC_LIBS ON)

# minizip from the source Debian's minizip package ships (scripts/setup-windows fetches it;
# it is never part of this tree). Only the writer and its file functions interface are
# built: the product gives minizip its own Win32 file functions.
set(TX_MINIZIP_SOURCE_DIR "" CACHE PATH "Unpacked source of Debian's minizip package")
if(NOT EXISTS "${TX_MINIZIP_SOURCE_DIR}/zip.c")
  message(FATAL_ERROR "TX_MINIZIP_SOURCE_DIR must name minizip's source (zip.c, ioapi.c); "
          "scripts/setup-windows fetches it and prints the folder.")
endif()
add_library(txminizip STATIC ${TX_MINIZIP_SOURCE_DIR}/zip.c ${TX_MINIZIP_SOURCE_DIR}/ioapi.c)
# Its code is minizip's, built as its own package builds it: our warning flags are for ours.
target_compile_options(txminizip PRIVATE -w)
find_package(ZLIB REQUIRED)
target_link_libraries(txminizip PUBLIC ZLIB::ZLIB)
# Product sources include <minizip/zip.h>: only the two public headers are offered, under
# that name, so minizip's crypt.h never hides another.
set(tx_minizip_headers ${CMAKE_BINARY_DIR}/minizip-include)
file(COPY ${TX_MINIZIP_SOURCE_DIR}/zip.h ${TX_MINIZIP_SOURCE_DIR}/ioapi.h DESTINATION ${tx_minizip_headers}/minizip)
# logupload/ looks minizip up under these names; found here, the lookup is skipped.
set(TX_MINIZIP_LIBRARY txminizip CACHE INTERNAL "")
set(TX_MINIZIP_INCLUDE_DIR ${tx_minizip_headers} CACHE INTERNAL "")

enable_language(RC)
