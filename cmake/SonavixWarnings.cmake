# Warnings are set per target so that third-party code never inherits them.
function(sonavix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(SONAVIX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
