# `cmake --install`: the encoder, image and symbol picture libraries (with the GDI/kernel library
# they stand on) for other projects, their headers under include/glyphwell/ mirroring the tree,
# the module and the program, a CMake package (find_package(Glyphwell): Glyphwell::encoder,
# Glyphwell::image, Glyphwell::picture) and a pkg-config file (glyphwell.pc).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GLYPHWELL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Glyphwell)
set(glyphwell_public glyphwell_picture glyphwell_encoder glyphwell_image glyphwell_gdi)
foreach(lib IN LISTS glyphwell_public)
  string(REPLACE "glyphwell_" "" short ${lib})
  set_target_properties(${lib} PROPERTIES EXPORT_NAME ${short})
  # Headers include each other from the tree's root ("encoder/matrix.h"); a consumer includes
  # them as <glyphwell/encoder/pipeline.h>.
  target_include_directories(${lib} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/glyphwell>)
endforeach()

install(TARGETS ${glyphwell_public} EXPORT GlyphwellTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY encoder image platform capi picture DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/glyphwell
        FILES_MATCHING PATTERN "*.h")
if(TARGET glyphwell_module)
  install(TARGETS glyphwell_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
if(TARGET glyphwell)
  install(TARGETS glyphwell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The program's QR reader, found from the program's folder (see tools/glyphwell).
if(TARGET glyphwell_reader)
  install(TARGETS glyphwell_reader LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/glyphwell)
endif()

install(EXPORT GlyphwellTargets NAMESPACE Glyphwell:: FILE GlyphwellTargets.cmake
        DESTINATION ${GLYPHWELL_CMAKE_DIR})
# The GDI library draws text through FreeType and fontconfig when they were found.
get_target_property(gdi_links glyphwell_gdi INTERFACE_LINK_LIBRARIES)
if("PkgConfig::FREETYPE" IN_LIST gdi_links)
  set(GLYPHWELL_WITH_FONTS ON)
  set(GLYPHWELL_PC_FONTS " freetype2 fontconfig")
else()
  set(GLYPHWELL_WITH_FONTS OFF)
  set(GLYPHWELL_PC_FONTS "")
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/GlyphwellConfig.cmake.in
  ${PROJECT_BINARY_DIR}/GlyphwellConfig.cmake INSTALL_DESTINATION ${GLYPHWELL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/GlyphwellConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/GlyphwellConfig.cmake ${PROJECT_BINARY_DIR}/GlyphwellConfigVersion.cmake
        DESTINATION ${GLYPHWELL_CMAKE_DIR})
# The .pc file finds its prefix from where it lies, so the tree can be installed anywhere.
file(RELATIVE_PATH GLYPHWELL_PC_UP /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/glyphwell.pc.in ${PROJECT_BINARY_DIR}/glyphwell.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/glyphwell.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
