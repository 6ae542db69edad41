# Windows test programs run under Wine, in a prefix of the build's own.
#
# The fixture "wine" creates the prefix (about 12 s the first time) and starts a
# persistent wineserver with Wine's services detached from ctest's pipes: otherwise
# every test would wait for those services to exit before ctest sees its output.
# WINE_TEST_GRAPHICS: null (Wine's null display driver, no X server needed), x11 or
# desktop (both need DISPLAY).

set(WINE_TEST_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
set(WINE_TEST_GRAPHICS null CACHE STRING "Wine display mode of the tests: null, x11 or desktop")
# LC_ALL decides Wine's code page: pinned so that texts stay Windows-1252.
set(WINE_TEST_ENVIRONMENT WINEPREFIX=${WINE_TEST_PREFIX} WINEDEBUG=-all LC_ALL=C.UTF-8)
set(WINE_PREFIX_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh)

if(NOT TEST wine_start)
    add_test(NAME wine_start COMMAND sh -c "\"$0\" create $1 && \"$0\" start"
             ${WINE_PREFIX_SCRIPT} ${WINE_TEST_GRAPHICS})
    add_test(NAME wine_stop COMMAND ${WINE_PREFIX_SCRIPT} stop)
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
    set_tests_properties(wine_start wine_stop PROPERTIES ENVIRONMENT "${WINE_TEST_ENVIRONMENT}")
endif()

# Marks tests as Wine tests: they need the fixture and the prefix's environment.
function(zentory_wine_tests)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine
                         ENVIRONMENT "${WINE_TEST_ENVIRONMENT}" TIMEOUT 120)
endfunction()
