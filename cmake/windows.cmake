# The Windows executable: logic + Win32 backend + resources, statically linked and small.
enable_language(RC)

set(DIMLUX_SIZE_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
target_compile_options(dimlux_logic PRIVATE ${DIMLUX_SIZE_FLAGS})

add_executable(Dimlux WIN32
  app/winmain.cpp
  platform/win32/win32_platform.cpp
  platform/win32/main_window.cpp
  platform/win32/tool_tip.cpp
  app/res/dimlux.rc
)
target_compile_options(Dimlux PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${DIMLUX_SIZE_FLAGS} -Wall -Wextra>)
target_compile_definitions(Dimlux PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(Dimlux PRIVATE dimlux_logic advapi32 user32 gdi32)
# No link time in the PE header (its TimeDateStamp stays 0): the same sources give the same bytes.
target_link_options(Dimlux PRIVATE -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
set_target_properties(Dimlux PROPERTIES OUTPUT_NAME Dimlux)

# The company name reaches the version block through a generated header: windres
# passes -D values on through a shell, which would mangle names with & or '.
string(REPLACE "\\" "\\\\" DIMLUX_COMPANY_NAME_RC "${DIMLUX_COMPANY_NAME}")
string(REPLACE "\"" "\"\"" DIMLUX_COMPANY_NAME_RC "${DIMLUX_COMPANY_NAME_RC}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/dimlux_company.h
  CONTENT "#define DIMLUX_COMPANY_NAME \"@DIMLUX_COMPANY_NAME_RC@\"\n" @ONLY)
set_source_files_properties(app/res/dimlux.rc PROPERTIES
  INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/generated)
set_property(SOURCE app/res/dimlux.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/res/dimlux.ico ${CMAKE_SOURCE_DIR}/app/res/dimlux.manifest
  ${CMAKE_BINARY_DIR}/generated/dimlux_company.h)

# The release zip: the executable, the user readme and their SHA-256 sums (cmake/make_zip.py).
set(DIMLUX_ZIP ${CMAKE_BINARY_DIR}/Dimlux-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}.zip)
add_custom_target(package
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/make_zip.py ${DIMLUX_ZIP} $<TARGET_FILE:Dimlux>
    ${CMAKE_SOURCE_DIR}/docs/readme.txt ${CMAKE_SOURCE_DIR}
  DEPENDS Dimlux ${CMAKE_SOURCE_DIR}/cmake/make_zip.py ${CMAKE_SOURCE_DIR}/docs/readme.txt
  COMMENT "Packing ${DIMLUX_ZIP}")

# The release checks (label release), on the 32-bit product: the zip's files and sums, and a second build from a
# copy of the sources in another folder, which must give the same exe and zip. The package test builds the zip.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  enable_testing()
  add_test(NAME package COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target package)
  add_test(NAME zip_holds_exe_readme_and_sums COMMAND ${CMAKE_COMMAND} -DZIP=${DIMLUX_ZIP}
    -DUNPACKED=${CMAKE_BINARY_DIR}/zip-check -P ${CMAKE_SOURCE_DIR}/cmake/check_zip.cmake)
  add_test(NAME second_build_is_identical COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}
    -DFIRST=${CMAKE_BINARY_DIR} -DCOPY=${CMAKE_SOURCE_DIR}/build/repro/source
    -DDIMLUX_README_URL=${DIMLUX_README_URL} -DDIMLUX_SUPPORT_EMAIL=${DIMLUX_SUPPORT_EMAIL}
    -DDIMLUX_COMPANY_NAME=${DIMLUX_COMPANY_NAME}
    -P ${CMAKE_SOURCE_DIR}/cmake/second_build.cmake)
  set_tests_properties(package PROPERTIES FIXTURES_SETUP package LABELS release)
  set_tests_properties(zip_holds_exe_readme_and_sums second_build_is_identical PROPERTIES
    FIXTURES_REQUIRED package LABELS release)
  set_tests_properties(second_build_is_identical PROPERTIES TIMEOUT 900)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests/e2e)
endif()

# Static checks of the built exe: machine, GUI subsystem, system-only imports, resources.
enable_testing()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DIMLUX_EXE_ARCH win64)
else()
  set(DIMLUX_EXE_ARCH win32)
endif()
add_test(NAME exe_check
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/check_exe.py $<TARGET_FILE:Dimlux> ${DIMLUX_EXE_ARCH})
set_tests_properties(exe_check PROPERTIES LABELS release)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
