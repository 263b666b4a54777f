# cmake -DZIP=<zip> -DUNPACKED=<folder> -P check_zip.cmake: the release zip holds exactly Dimlux.exe, readme.txt
# and SHA256SUMS, and the sums match the files.
file(REMOVE_RECURSE ${UNPACKED})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${UNPACKED})
file(GLOB_RECURSE names RELATIVE ${UNPACKED} ${UNPACKED}/*)
list(SORT names)
if(NOT names STREQUAL "Dimlux.exe;SHA256SUMS;readme.txt")
  message(FATAL_ERROR "${ZIP} holds ${names}, not Dimlux.exe, readme.txt and SHA256SUMS")
endif()
execute_process(COMMAND sha256sum -c --strict SHA256SUMS WORKING_DIRECTORY ${UNPACKED} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the sums in ${ZIP} do not match its files")
endif()
