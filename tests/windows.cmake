# The tests cross-built for Windows and run under Wine (the toolchain's emulator). GoogleTest
# is built for the target from Debian's googletest source. The independent decoders and
# readers (zbar, ZXing, libpng's own reader, giflib, ImageMagick, Pillow) are Linux programs,
# so the tests that compare against them stay on Linux.
set(GLYPHWELL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian's googletest package)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GLYPHWELL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Wine reaches the Linux tree through its Z: drive.
set(test_defs GLYPHWELL_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
              GLYPHWELL_BINARY_DIR="Z:${PROJECT_BINARY_DIR}")

set(linux_only
  image/png_interop_test.cpp
  image/gif_interop_test.cpp
  image/bmp_interop_test.cpp)

add_library(glyphwell_test_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/symbol_art.cpp)
target_link_libraries(glyphwell_test_support PUBLIC glyphwell_encoder)

# Every test runs in a Wine prefix of the build's own architecture inside the build folder,
# headless and quiet; the first test to run sets the prefix up. Tests that need a screen start
# their own display. Debian's `wine`, `winepath` and `wineboot` always go through the 32-bit
# loader when wine32 is installed, so the tests reach Wine through small commands of the build's
# own (wine-bin/) that name the loader of the build's architecture; `wineserver` is the one
# server both loaders share.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(GLYPHWELL_WINE_ARCH win64)
else()
  set(GLYPHWELL_WINE_ARCH win32)
endif()
set(wine_bin ${CMAKE_BINARY_DIR}/wine-bin)
file(MAKE_DIRECTORY ${wine_bin})
foreach(tool wine winepath wineboot)
  if(tool STREQUAL "wine")
    set(run "")
  else()
    set(run " ${tool}.exe")
  endif()
  file(CONFIGURE OUTPUT ${wine_bin}/${tool} @ONLY CONTENT
       "#!/bin/sh\nexport WINELOADER=@GW_WINE_LOADER@\nexec @GW_WINE_LOADER@@run@ \"$@\"\n")
endforeach()
file(CONFIGURE OUTPUT ${wine_bin}/wineserver CONTENT "#!/bin/sh\nexec /usr/lib/wine/wineserver \"$@\"\n")
file(CHMOD ${wine_bin}/wine ${wine_bin}/winepath ${wine_bin}/wineboot ${wine_bin}/wineserver
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(GLYPHWELL_WINE_ENV
    "PATH=path_list_prepend:${wine_bin}" "WINELOADER=set:${GW_WINE_LOADER}"
    "WINEPREFIX=set:${CMAKE_BINARY_DIR}/wine" "WINEARCH=set:${GLYPHWELL_WINE_ARCH}" "WINEDEBUG=set:-all"
    "WINEDLLOVERRIDES=set:mscoree,mshtml=" "DISPLAY=unset:")

# Whether this machine runs the build's programs at all: some kernels do not execute 32-bit
# programs, and Wine's 32-bit loader stops at once with "Exec format error" there. The loader is
# asked once, here; when it cannot run (or GLYPHWELL_WINDOWS_SKIP_TESTS gives a reason to leave
# the tests out), the products and test programs are still built, and ctest reports one skipped
# test saying why instead of running any.
set(GLYPHWELL_WINDOWS_SKIP_TESTS "" CACHE STRING "A reason to build the Windows tests without running them")
set(skip_reason "${GLYPHWELL_WINDOWS_SKIP_TESTS}")
if(NOT skip_reason)
  # (A kernel that refuses the loader leaves execvp to hand it to the shell, whose complaint
  # about the binary says nothing useful, so only the exit status is reported.)
  execute_process(COMMAND ${GW_WINE_LOADER} --version RESULT_VARIABLE probe_rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT probe_rc STREQUAL "0")
    set(skip_reason "this machine does not run ${CMAKE_SYSTEM_PROCESSOR} programs: Wine's loader for them, ${GW_WINE_LOADER}, does not start (${probe_rc})")
  endif()
endif()
if(skip_reason)
  add_test(NAME windows.${CMAKE_SYSTEM_PROCESSOR}.skipped
           COMMAND sh -c [[echo "Windows ${2} tests skipped: $1"; exit 77]] sh "${skip_reason}" ${CMAKE_SYSTEM_PROCESSOR})
  set_tests_properties(windows.${CMAKE_SYSTEM_PROCESSOR}.skipped PROPERTIES SKIP_RETURN_CODE 77)
  set(GLYPHWELL_WINDOWS_RUN_TESTS OFF)
  # The one line scripts/test prints after ctest, which shows no output of a skipped test.
  file(WRITE ${CMAKE_BINARY_DIR}/windows-tests-skipped.txt
       "Windows ${CMAKE_SYSTEM_PROCESSOR} tests skipped (built, not run): ${skip_reason}\n")
else()
  set(GLYPHWELL_WINDOWS_RUN_TESTS ON)
  file(REMOVE ${CMAKE_BINARY_DIR}/windows-tests-skipped.txt)
endif()

# Without a display Wine makes windows through its null driver, which the prefix names after X11
# for when X11 finds none: pages and dialogs come up headless, and a test that starts a display
# gets X11.
if(GLYPHWELL_WINDOWS_RUN_TESTS)
  add_test(NAME windows.prefix
           COMMAND sh -c [[wineboot --init && wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f >/dev/null]])
  set_tests_properties(windows.prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300
                       ENVIRONMENT_MODIFICATION "${GLYPHWELL_WINE_ENV}")
endif()

# Registers a test that runs under Wine in that prefix. Every test below is registered through
# it or inside `if(GLYPHWELL_WINDOWS_RUN_TESTS)`, so that a machine that cannot run the build's
# programs builds them all and runs none.
function(glyphwell_wine_test name)
  if(NOT GLYPHWELL_WINDOWS_RUN_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 600
                       ENVIRONMENT_MODIFICATION "${GLYPHWELL_WINE_ENV}")
endfunction()

# One test program for the sources PATTERN matches, run whole by one ctest entry: starting
# Wine once per test case would cost more than the tests themselves.
function(glyphwell_windows_tests name pattern)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  foreach(skip ${linux_only})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${skip})
  endforeach()
  set(exe glyphwell_${name}_tests)
  add_executable(${exe} ${srcs})
  target_compile_definitions(${exe} PRIVATE ${test_defs})
  target_link_libraries(${exe} PRIVATE gtest_main gmock glyphwell_test_support ${ARGN})
  glyphwell_wine_test(windows.${name} ${exe} --gtest_brief=1)
  if(GLYPHWELL_WINDOWS_RUN_TESTS)
    set_tests_properties(windows.${name} PROPERTIES LABELS ${name})
  endif()
endfunction()

glyphwell_windows_tests(encoder "encoder/*.cpp" glyphwell_encoder)
glyphwell_windows_tests(picture "picture/*.cpp" glyphwell_picture)
glyphwell_windows_tests(image "image/*.cpp" glyphwell_image)
# The software GDI's own tests, run here against the system's GDI that it stands in for.
# Tests that check what Windows documents but Wine does otherwise, or where the stand-in
# refuses input that Windows leaves undefined and Wine accepts, run on Linux only:
set(gdi_stand_in_only
  # Wine deletes a bitmap still selected into a context; DeleteObject documents a failure.
  GdiBitmap.RendererSequenceMakesAWhiteBitmapWithPaintedPixels
  # Wine accepts a palette version other than the documented 0x300 and frees a selected palette.
  GdiRegion.PalettesHoldTheirEntries
  # Undefined input that the stand-in refuses and Wine accepts: deleting the wrong kind of
  # context.
  GdiBitmap.StaleForeignAndMistypedHandlesAreRefused
  # Extents at the edge of the coordinate range corrupt Wine's heap; it also stretches an
  # empty source.
  GdiBlit.TransfersAreCutAtEveryEdgeOfBothBitmaps
  # Wine crashes in DrawText on a length below -1 (and breaks lines its own way).
  GdiText.LinesBreakAtNewlinesAndWordsUnlessSingleLine
  # Not yet settled against Windows: an 8-bit read through a selected palette.
  GdiDib.ShallowReadsKeepIndicesOrUseTheSelectedPalette)
# Single checks of that kind inside otherwise shared tests skip under Wine where they stand.
list(JOIN gdi_stand_in_only ":" gdi_filter)
glyphwell_windows_tests(gdi "platform/gdi_*.cpp" glyphwell_platform)
if(GLYPHWELL_WINDOWS_RUN_TESTS)
  set_property(TEST windows.gdi APPEND PROPERTY ENVIRONMENT_MODIFICATION "GTEST_FILTER=set:-${gdi_filter}")
  set_tests_properties(windows.gdi PROPERTIES TIMEOUT 120)
endif()

# The control module under real hosts, held to the Linux build of the same control: the Linux
# program (GLYPHWELL_LINUX_PROGRAM, built by scripts/test's first stage) writes the reference
# state and picture and its registration; regsvr32, cscript and a C++ host run the module.
# They share the prefix's registry, so they run one at a time.
set(GLYPHWELL_LINUX_PROGRAM "${PROJECT_SOURCE_DIR}/build/release/tools/glyphwell/glyphwell" CACHE FILEPATH
    "The Linux build's glyphwell program, the reference for the Windows module")
set(control_script ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_module.sh)
set(reference_dir ${CMAKE_BINARY_DIR}/control-reference)
add_executable(glyphwell_control_host_tests ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_host_test.cpp)
target_compile_definitions(glyphwell_control_host_tests PRIVATE ${test_defs})
target_link_libraries(glyphwell_control_host_tests PRIVATE gtest_main glyphwell_image glyphwell_platform)
add_dependencies(glyphwell_control_host_tests glyphwell_module)

# The control in the hosts people use, through the system's own OLE functions: a compound
# document, a property bag, data transfer, drawing into other contexts, verbs and quick
# activation. zbar reads the pictures they drew, on the Linux side.
add_executable(glyphwell_control_documents_tests ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_documents_test.cpp)
target_compile_definitions(glyphwell_control_documents_tests PRIVATE ${test_defs})
target_link_libraries(glyphwell_control_documents_tests PRIVATE gtest_main glyphwell_image glyphwell_platform)
add_dependencies(glyphwell_control_documents_tests glyphwell_module)
if(GLYPHWELL_WINDOWS_RUN_TESTS)
  glyphwell_wine_test(windows.control.documents glyphwell_control_documents_tests --gtest_brief=1)
  set_tests_properties(windows.control.documents PROPERTIES RESOURCE_LOCK wine_registry FIXTURES_SETUP control_documents)
  add_test(NAME windows.control.documents.decode
           COMMAND bash ${control_script} documents ${CMAKE_BINARY_DIR}/control-documents)
  set_tests_properties(windows.control.documents.decode PROPERTIES FIXTURES_REQUIRED control_documents TIMEOUT 60)
endif()

# A program that uses the image classes the module exports, linked against its import library
# alone; it sits beside the module so Windows finds it.
add_executable(glyphwell_image_client ${CMAKE_CURRENT_SOURCE_DIR}/windows/image_client.cpp)
target_link_libraries(glyphwell_image_client PRIVATE glyphwell_module)
set_target_properties(glyphwell_image_client PROPERTIES RUNTIME_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:glyphwell_module>)

# The C interface as other languages and C programs reach the module. capi_client loads it by
# path and looks every function up by its plain name, as VBA's Declare does, and zbar reads the
# symbol file it wrote; the Linux build's C test program links against the import library.
add_executable(glyphwell_capi_client ${CMAKE_CURRENT_SOURCE_DIR}/windows/capi_client.c)
add_dependencies(glyphwell_capi_client glyphwell_module)
add_executable(glyphwell_capi_c_test ${CMAKE_CURRENT_SOURCE_DIR}/capi/capi_test.c)
set_target_properties(glyphwell_capi_c_test PROPERTIES C_STANDARD 90 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF
                      RUNTIME_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:glyphwell_module>)
target_compile_options(glyphwell_capi_c_test PRIVATE -pedantic)
target_link_libraries(glyphwell_capi_c_test PRIVATE glyphwell_module)
set(capi_dir ${CMAKE_BINARY_DIR}/capi-client)
file(MAKE_DIRECTORY ${capi_dir})
glyphwell_wine_test(windows.capi.by_name bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/capi_client.sh
                    $<TARGET_FILE:glyphwell_capi_client> $<TARGET_FILE:glyphwell_module> ${capi_dir}/by_name.png)
glyphwell_wine_test(windows.capi.import_library glyphwell_capi_c_test Z:${capi_dir})

# The container that embeds the control in a window of its own (control_screen.sh drives it).
find_program(GLYPHWELL_XVFB Xvfb REQUIRED)
add_executable(glyphwell_container ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_container.cpp)
target_link_libraries(glyphwell_container PRIVATE ole32 oleaut32 uuid comctl32)
add_dependencies(glyphwell_container glyphwell_module)

if(GLYPHWELL_WINDOWS_RUN_TESTS)
  add_test(NAME windows.control.reference
           COMMAND bash ${control_script} reference ${GLYPHWELL_LINUX_PROGRAM} ${reference_dir})
  set_tests_properties(windows.control.reference PROPERTIES FIXTURES_SETUP control_reference TIMEOUT 60)
  glyphwell_wine_test(windows.control.registry
                      bash ${control_script} registry ${GLYPHWELL_LINUX_PROGRAM} $<TARGET_FILE:glyphwell_module>
                      ${reference_dir}/registry-compare ${GLYPHWELL_WINE_ARCH})
  glyphwell_wine_test(windows.control.script
                      bash ${control_script} script $<TARGET_FILE:glyphwell_module>
                      ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_automation.vbs)
  glyphwell_wine_test(windows.control.host glyphwell_control_host_tests --gtest_brief=1)
  add_test(NAME windows.control.decode COMMAND bash ${control_script} decode ${reference_dir})
  set_tests_properties(windows.control.registry windows.control.script windows.control.host
                       PROPERTIES RESOURCE_LOCK wine_registry)
  set_tests_properties(windows.control.host PROPERTIES FIXTURES_REQUIRED "wine_prefix;control_reference"
                       FIXTURES_SETUP control_painted)
  set_tests_properties(windows.control.decode PROPERTIES FIXTURES_REQUIRED control_painted TIMEOUT 60)

  glyphwell_wine_test(windows.control.image_client glyphwell_image_client Z:${reference_dir}/reference.gif
                      Z:${reference_dir}/client.png)
  set_tests_properties(windows.control.image_client PROPERTIES FIXTURES_REQUIRED "wine_prefix;control_reference"
                       FIXTURES_SETUP control_painted)

  # glyphwell.exe under Wine writes the same PNG, GIF and BMP bytes as the Linux program.
  glyphwell_wine_test(windows.cli bash ${control_script} cli ${GLYPHWELL_LINUX_PROGRAM} $<TARGET_FILE:glyphwell>
                      ${CMAKE_BINARY_DIR}/cli-compare)

  # The control in a container window on a virtual display: the container embeds it in place,
  # the script photographs the screen and zbar reads the symbol; the about box and the property
  # frame are checked through the Win32 API and photographed for a person (<build>/control-screen).
  # It owns the prefix's server and registry while it runs, so it runs alone.
  glyphwell_wine_test(windows.control.screen
                      bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/control_screen.sh $<TARGET_FILE:glyphwell_container>
                      $<TARGET_FILE:glyphwell_module> ${GLYPHWELL_LINUX_PROGRAM} ${CMAKE_BINARY_DIR}/control-screen)
  set_tests_properties(windows.control.screen PROPERTIES TIMEOUT 180 RUN_SERIAL TRUE)
endif()

# The 64-bit module beside the 32-bit one, as Windows components are installed: both registered
# in one 64-bit prefix, a host of each architecture creates the control, and each module is
# removed alone. It needs the 32-bit build's module (scripts/test builds it first) and a machine
# that runs 32-bit programs.
if(GLYPHWELL_WINDOWS_RUN_TESTS AND GLYPHWELL_WINE_ARCH STREQUAL "win64")
  set(GLYPHWELL_WIN32_MODULE "${PROJECT_SOURCE_DIR}/build/win32/control/glyphwell.ocx" CACHE FILEPATH
      "The 32-bit build's module, registered beside this build's for the side-by-side test")
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE probe32_rc OUTPUT_QUIET ERROR_QUIET)
  if(probe32_rc STREQUAL "0" AND EXISTS ${GLYPHWELL_WIN32_MODULE})
    glyphwell_wine_test(windows.control.side_by_side
                        bash ${control_script} side-by-side $<TARGET_FILE:glyphwell_module> ${GLYPHWELL_WIN32_MODULE}
                        ${CMAKE_BINARY_DIR}/side-by-side)
    set_tests_properties(windows.control.side_by_side PROPERTIES RESOURCE_LOCK wine_registry)
  endif()
endif()
