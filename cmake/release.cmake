# Writes the release into the folder DIST: tamsel.exe as EXE is, the zip ZIP holding it with the
# commit's README.md and LICENSE as README.txt and LICENSE.txt and the pictures the README shows,
# SHA256SUMS over the zip and the exe in the format `sha256sum -c` reads, and BUILDINFO, the
# Debian release and package versions that made these bytes. It replaces only these four files
# and its staging folder STAGE; anything else in DIST stays.
# Usage: cmake -DEXE=... -DSOURCE_DIR=... -DZIP=... -DDIST=... -DSTAGE=... [-DTRIAL=ON]
#              -P release.cmake
#
# A release is made of a commit: a work tree with uncommitted changes to tracked files is
# refused, as its exe would carry the commit's time but other bytes. TRIAL (the test suite's
# trial release, which never goes to dist/) only warns, so that changes can be tested before
# they are committed.
#
# The zip stands alone, for a user who holds only it and reads it in Notepad, on Windows 7 too.
# Windows 7 has no program for .md files, so the texts are README.txt and LICENSE.txt there.
# Notepad before Windows 10 1809 shows a text whose lines end in LF alone as one long line, so
# every line of them ends in CR LF, and the README starts with UTF-8's byte order mark. What
# README.md tells only a reader of the sources (how to build, where the developer docs are) lies
# between the lines <!-- checkout --> and <!-- /checkout -->, comments that GitHub does not show,
# and is left out. The README's pictures lie beside it in the zip (as arguments.png for
# docs/arguments.png), and a link of it to a file of the sources, which the zip lacks, keeps only
# its words; web addresses stay links.
#
# The zip is the same byte for byte whoever makes it from the same commit, wherever: its texts
# and pictures are made of the commit's bytes, not the checkout's (whose line ends git may have
# changed), its members stand in a fixed order with fixed modes, all their times are the
# commit's (SOURCE_DATE_EPOCH when set), the zip's DOS times are written in UTC, and fakeroot
# makes every member's recorded owner root rather than the user who builds.
foreach(name EXE SOURCE_DIR ZIP DIST STAGE)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "release: ${name} is not set")
    endif()
endforeach()
find_program(FAKEROOT fakeroot)
if(NOT FAKEROOT)
    message(FATAL_ERROR "release: fakeroot is missing; scripts/setup installs it")
endif()

# Runs git in SOURCE_DIR. safe.directory: a clone that another user owns is still ours to read;
# --no-optional-locks: reading never writes the index.
function(git)
    cmake_parse_arguments(PARSE_ARGV 0 git "" "OUTPUT_VARIABLE;OUTPUT_FILE" "")
    if(git_OUTPUT_FILE)
        set(to OUTPUT_FILE ${git_OUTPUT_FILE})
    else()
        set(to OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    execute_process(COMMAND git -c safe.directory=* --no-optional-locks -C ${SOURCE_DIR}
                            ${git_UNPARSED_ARGUMENTS}
                    ${to} RESULT_VARIABLE failed ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "release: git ${git_UNPARSED_ARGUMENTS} failed: ${error}")
    endif()
    if(git_OUTPUT_VARIABLE)
        set(${git_OUTPUT_VARIABLE} "${text}" PARENT_SCOPE)
    endif()
endfunction()

git(status --porcelain --untracked-files=no OUTPUT_VARIABLE changed)
if(NOT changed STREQUAL "" AND NOT TRIAL)
    message(FATAL_ERROR "release: uncommitted changes to tracked files; commit or stash them "
                        "first, the release is made of the commit:\n${changed}")
elseif(NOT changed STREQUAL "")
    message(NOTICE "trial release of uncommitted changes, not for publishing:\n${changed}")
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    git(log -1 --format=%ct OUTPUT_VARIABLE epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

# What made the bytes: the MinGW-w64 GCC as installed, and the win32 packages of it that the
# toolchain file names (compiler proper, driver, link-time optimizer); binutils (assembler,
# linker, windres); the import libraries; cmake and the libarchive its tar writes the zip with;
# fakeroot, which sets the members' owner.
file(READ /etc/debian_version debian)
string(STRIP "${debian}" debian)
set(buildinfo "debian ${debian}\n")
foreach(package g++-mingw-w64-i686 g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32
                binutils-mingw-w64-i686 mingw-w64-i686-dev cmake libarchive13 fakeroot)
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
                    OUTPUT_VARIABLE version RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR version STREQUAL "")
        message(FATAL_ERROR "release: the version of ${package} is unknown; is it installed?")
    endif()
    string(APPEND buildinfo "${package} ${version}\n")
endforeach()

set(members tamsel.exe README.txt LICENSE.txt)
set(mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE_RECURSE ${STAGE})
file(REMOVE ${DIST}/${ZIP} ${DIST}/tamsel.exe ${DIST}/SHA256SUMS ${DIST}/BUILDINFO)
file(COPY ${EXE} DESTINATION ${STAGE})
foreach(source README.md LICENSE)
    get_filename_component(name ${source} NAME_WE)
    git(cat-file blob HEAD:./${source} OUTPUT_FILE ${STAGE}/${name}.txt)
    file(READ ${STAGE}/${name}.txt text)
    string(REPLACE "\r\n" "\n" text "${text}")
    if(name STREQUAL "README")
        # The parts for the checkout go, each with the blank line after it. Each marker line
        # becomes a control character that no README holds, as CMake's regular expressions
        # cannot stop at the first of several closing lines.
        string(ASCII 1 open)
        string(ASCII 2 close)
        string(REPLACE "<!-- checkout -->\n" "${open}" text "${text}")
        string(REPLACE "<!-- /checkout -->\n" "${close}" text "${text}")
        string(REGEX REPLACE "${open}[^${open}${close}]*${close}\n?" "" text "${text}")
        if(text MATCHES "[${open}${close}]")
            message(FATAL_ERROR "release: README.md has a <!-- checkout --> or "
                                "<!-- /checkout --> line without its partner")
        endif()
        string(REGEX REPLACE "\n+$" "\n" text "${text}")
        # Each link [words](target) or picture ![words](target), innermost brackets only.
        string(REGEX MATCHALL "!?\\[[^][]*\\]\\([^()]*\\)" links "${text}")
        foreach(link IN LISTS links)
            string(REGEX MATCH "^(!?)\\[([^][]*)\\]\\((.*)\\)$" link_parts "${link}")
            set(picture "${CMAKE_MATCH_1}")
            set(words "${CMAKE_MATCH_2}")
            set(target "${CMAKE_MATCH_3}")
            if(target MATCHES "^https?://")
                continue()
            elseif(picture)
                get_filename_component(name_in_zip "${target}" NAME)
                git(cat-file blob HEAD:./${target} OUTPUT_FILE ${STAGE}/${name_in_zip})
                list(APPEND members ${name_in_zip})
                set(words "![${words}](${name_in_zip})")
            endif()
            string(REPLACE "${link}" "${words}" text "${text}")
        endforeach()
        string(ASCII 239 187 191 bom)  # UTF-8's mark, so that every Notepad reads it as UTF-8
        string(PREPEND text "${bom}")
    endif()
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${STAGE}/${name}.txt "${text}")
endforeach()
list(REMOVE_DUPLICATES members)
foreach(name IN LISTS members)
    file(CHMOD ${STAGE}/${name} PERMISSIONS ${mode})
endforeach()
file(MAKE_DIRECTORY ${DIST})
execute_process(COMMAND ${FAKEROOT} ${CMAKE_COMMAND} -E env TZ=UTC
                        ${CMAKE_COMMAND} -E tar cf ${DIST}/${ZIP} --format=zip -- ${members}
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${STAGE}/tamsel.exe DESTINATION ${DIST})
execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${ZIP} tamsel.exe
                WORKING_DIRECTORY ${DIST} OUTPUT_FILE ${DIST}/SHA256SUMS COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${DIST}/BUILDINFO "${buildinfo}")
file(REMOVE_RECURSE ${STAGE})
message(STATUS "release: ${DIST}/${ZIP}")
