# libpng for a cross-compiled target, built from Debian's libpng1.6 source package (scripts/setup
# fetches it) with libpng's own prebuilt configuration, over the target's static zlib.
# Defines PNG::PNG, the same kind of target the native build gets from pkg-config.
set(GLYPHWELL_LIBPNG_SOURCE "${PROJECT_SOURCE_DIR}/build/third_party/libpng1.6" CACHE PATH
    "Debian's libpng1.6 source, as scripts/setup unpacks it")
if(NOT EXISTS "${GLYPHWELL_LIBPNG_SOURCE}/png.h")
  message(FATAL_ERROR "No libpng source in ${GLYPHWELL_LIBPNG_SOURCE}: run scripts/setup")
endif()

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

set(png_config_dir "${CMAKE_BINARY_DIR}/libpng-config")
configure_file("${PROJECT_SOURCE_DIR}/scripts/pnglibconf.h.prebuilt" "${png_config_dir}/pnglibconf.h" COPYONLY)

set(png_sources png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset
                pngtrans pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM png_sources PREPEND "${GLYPHWELL_LIBPNG_SOURCE}/")
list(TRANSFORM png_sources APPEND ".c")
add_library(glyphwell_libpng STATIC ${png_sources})
target_include_directories(glyphwell_libpng SYSTEM PUBLIC "${GLYPHWELL_LIBPNG_SOURCE}" "${png_config_dir}")
target_link_libraries(glyphwell_libpng PUBLIC ZLIB::ZLIB)
# Third-party code: its warnings are not ours to mend.
target_compile_options(glyphwell_libpng PRIVATE -w)
add_library(PNG::PNG ALIAS glyphwell_libpng)
