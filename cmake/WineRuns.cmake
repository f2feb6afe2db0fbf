# What runs under Wine beside the product: the virtual driver, the test and benchmark programs,
# and the Python runs that drive them with the harness in harness/.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# The header whose result codes the build compiles with; the harness reads them there, from
# this build's cache.
find_file(QUORVEL_WINMM_HEADER mmsystem.h REQUIRED)

# With the C and C++ runtimes linked in, so that Wine needs no DLL of MinGW's, into `folder` of
# the build.
function(quorvel_wine_binary target folder)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder})
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    quorvel_warnings(${target})
endfunction()

# Built into the build's own folder, beside Quorvel.exe. No DLL goes there: the program runs
# as shipped, with nothing beside it.
function(quorvel_beside_the_exe target)
    quorvel_wine_binary(${target} ${PROJECT_BINARY_DIR})
endfunction()

# quorvel_wine_program(name [WIN32] sources...)
function(quorvel_wine_program target)
    add_executable(${target} ${ARGN})
    quorvel_beside_the_exe(${target})
endfunction()

# quorvel_wine_test(name script label [timeout]): one Python run against this build.
function(quorvel_wine_test name script label)
    set(timeout 600)
    if(ARGC GREATER 3)
        set(timeout ${ARGV3})
    endif()
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${script})
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout} RUN_SERIAL TRUE
        ENVIRONMENT "QUORVEL_BUILD_DIR=${PROJECT_BINARY_DIR};PYTHONPATH=${PROJECT_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endfunction()
