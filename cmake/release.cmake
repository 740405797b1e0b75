# Writes the release into the folder DIST: tamsel.exe as EXE is, the zip ZIP holding it with
# README.md and LICENSE, and SHA256SUMS over both in the format `sha256sum -c` reads. It replaces
# only these three files and its staging folder STAGE; anything else in DIST stays.
# Usage: cmake -DEXE=... -DSOURCE_DIR=... -DZIP=... -DDIST=... -DSTAGE=... -P release.cmake
#
# The zip is the same byte for byte whoever makes it from the same commit, wherever: its members
# stand in a fixed order with fixed modes, all their times are the commit's (SOURCE_DATE_EPOCH
# when set), the zip's DOS times are written in UTC, and fakeroot makes every member's recorded
# owner root rather than the user who builds.
foreach(name EXE SOURCE_DIR ZIP DIST STAGE)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "release: ${name} is not set")
    endif()
endforeach()
find_program(FAKEROOT fakeroot)
if(NOT FAKEROOT)
    message(FATAL_ERROR "release: fakeroot is missing; scripts/setup installs it")
endif()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    # safe.directory: a clone that another user owns is still ours to read the time from.
    execute_process(COMMAND git -c safe.directory=* -C ${SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR epoch STREQUAL "")
        message(FATAL_ERROR "release: no commit to take the time from; set SOURCE_DATE_EPOCH")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

set(members tamsel.exe README.md LICENSE)
file(REMOVE_RECURSE ${STAGE})
file(REMOVE ${DIST}/${ZIP} ${DIST}/tamsel.exe ${DIST}/SHA256SUMS)
file(COPY ${EXE} ${SOURCE_DIR}/README.md ${SOURCE_DIR}/LICENSE DESTINATION ${STAGE}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(MAKE_DIRECTORY ${DIST})
execute_process(COMMAND ${FAKEROOT} ${CMAKE_COMMAND} -E env TZ=UTC
                        ${CMAKE_COMMAND} -E tar cf ${DIST}/${ZIP} --format=zip -- ${members}
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${STAGE}/tamsel.exe DESTINATION ${DIST})
execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${ZIP} tamsel.exe
                WORKING_DIRECTORY ${DIST} OUTPUT_FILE ${DIST}/SHA256SUMS COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${STAGE})
message(STATUS "release: ${DIST}/${ZIP}")
