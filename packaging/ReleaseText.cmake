# Runs while the release is staged: writes LEGGIMI.txt into the application folder, with the
# Debian packages that the staged programs' libraries come from, as dpkg-shlibdeps finds them.
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${BRENNO_RELEASE_FOLDER}")
set(programs "")
foreach(program IN LISTS BRENNO_RELEASE_PROGRAMS)
    list(APPEND programs "${folder}/${program}")
endforeach()

# dpkg-shlibdeps wants to stand in a source package; an empty one will do.
set(scratch "${folder}/../.shlibdeps")
file(REMOVE_RECURSE "${scratch}")
file(WRITE "${scratch}/debian/control" "Source: brenno\n\nPackage: brenno\nArchitecture: any\n")
execute_process(COMMAND dpkg-shlibdeps -O ${programs}
                WORKING_DIRECTORY "${scratch}"
                RESULT_VARIABLE result OUTPUT_VARIABLE found ERROR_VARIABLE problems)
file(REMOVE_RECURSE "${scratch}")
if(NOT result EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps found no packages (${result}): ${problems}")
endif()
string(REPLACE ", " "\n    " BRENNO_DEBIAN_PACKAGES "${CMAKE_MATCH_1}")
configure_file("${BRENNO_RELEASE_TEXT}" "${folder}/LEGGIMI.txt" @ONLY)
