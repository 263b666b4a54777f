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
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/check_exe.py $<TARGET_FILE:Dimlux> ${DIMLUX_EXE_ARCH})

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
