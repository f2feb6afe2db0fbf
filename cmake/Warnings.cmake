# Every C++ target of ours builds with the same warnings, and warnings fail the build.
function(quorvel_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror>)
endfunction()

# What ships: no exceptions, no RTTI.
function(quorvel_product target)
    quorvel_warnings(${target})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()
